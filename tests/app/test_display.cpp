// The screen back end on a virtual X display: window geometry read back with
// xdotool, pixels of drawn primitives read from screenshots of the root window,
// the menu bar taken away and restored, owned windows closed with their owner,
// typing into the edit control, and the fallback when the display will not open.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <iterator>
#include <thread>

#include "graphics/display.h"
#include "app/views.h"
#include "tests/graphics/fixture.h"
#include "tests/xvfb.h"

namespace {

bool have(const char *program) {
  return system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

struct Shot {
  int width = 0, height = 0;
  std::string rgb;
  void save(const std::string &path) const {
    spit(path, "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n" + rgb);
  }
  std::vector<int> at(int x, int y) const {
    size_t i = 3 * (size_t(y) * size_t(width) + size_t(x));
    return {uint8_t(rgb[i]), uint8_t(rgb[i + 1]), uint8_t(rgb[i + 2])};
  }
};

// The unit square with u = 0 all round, for the descriptors of the program's runs.
const std::string square =
    "BOUNDARIES\n REGION 1\n  START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n";

// A short time run on the square with a contour, an elevation and a history plot.
const std::string three_plots = "VARIABLES\n u\nINITIAL VALUES\n u = 0\nEQUATIONS\n div(grad(u)) + 4 = dt(u)\n" +
                                square +
                                "TIME 0 TO 0.05\nPLOTS\n FOR T = 0.05\n CONTOUR(u)\n ELEVATION(u) FROM (0,0) TO (1,1)\n"
                                "HISTORIES\n HISTORY(u) AT (0.5,0.5)\nEND\n";

const std::vector<int> white = {255, 255, 255}, black = {0, 0, 0}, red = {255, 0, 0},
                       cyan = {0, 255, 255};

// The program itself on the display, started in the test's folder with the given
// words and stopped at the end of the test.
struct Program {
  pid_t pid = 0;
  int status = -1;
  // errors: the file in the folder that keeps its standard error (null: none kept).
  Program(const std::string &folder, const std::string &display, std::vector<std::string> words,
          const char *errors = nullptr) {
    pid = fork();
    if (pid == 0) {
      if (chdir(folder.c_str()) != 0) _exit(127);
      setenv("DISPLAY", display.c_str(), 1);
      setenv("TMPDIR", folder.c_str(), 1);
      // A leak-checking build lists the suppressions it used at exit: not the program's words.
      setenv("LSAN_OPTIONS", "print_suppressions=0", 1);
      int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1);
      dup2(errors ? open(errors, O_WRONLY | O_CREAT | O_TRUNC, 0600) : devnull, 2);
      std::vector<char *> argv{const_cast<char *>(QUENDAR_EXE)};
      for (std::string &w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      execv(QUENDAR_EXE, argv.data());
      _exit(127);
    }
  }
  // True when the program has ended within the seconds; its wait status is kept.
  bool ended(int seconds) {
    for (int k = 0; k < 20 * seconds; k++) {
      if (waitpid(pid, &status, WNOHANG) == pid) return pid = 0, true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  ~Program() {
    if (!pid) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
};

}  // namespace

struct Display : Graphics {
  static inline pid_t xvfb = 0;
  static inline std::string display, missing;
  static inline bool opened = false;

  static void SetUpTestSuite() {
    for (auto [program, package] : {std::pair{"Xvfb", "xvfb"}, {"xdotool", "xdotool"},
                                    {"import", "imagemagick"}})
      if (!have(program)) missing = package;
    if (!missing.empty()) return;
    // Servers that other runs start and stop beside this one can take a display number
    // from under a new server before the screen opens it: a fresh server then tries again.
    for (int attempt = 0; attempt < 3 && !opened; attempt++) {
      if (xvfb) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
      }
      xvfb = start_xvfb(&display);
      if (!xvfb) return;
      setenv("DISPLAY", display.c_str(), 1);
      opened = pwin_use_screen();
    }
    gagscren_default_colors();
  }
  static void TearDownTestSuite() {
    pwin_use_headless();
    if (xvfb) {
      kill(xvfb, SIGTERM);
      waitpid(xvfb, nullptr, 0);
    }
    unsetenv("DISPLAY");
  }
  void SetUp() override {
    if (!missing.empty()) GTEST_SKIP() << "needs the Debian package " << missing;
    ASSERT_TRUE(opened) << "Xvfb did not start";
    Graphics::SetUp();
    pump();
  }
  // Lets the back end handle and draw everything that is pending: each look ends
  // with a round trip to the display, so what a drawing caused is there for the next.
  static void pump() {
    for (int k = 0; k < 5; k++) gagscren_dispatch(0);
  }
  static std::string x(const std::string &command) {
    return run("DISPLAY=" + display + " timeout 10 " + command + " 2>/dev/null");
  }
  Shot shot() {
    pump();
    std::string path = dir.file("root.ppm");
    x("import -window root -depth 8 ppm:" + path);
    std::string ppm = slurp(path);
    Shot s;
    int max = 0, used = 0;
    if (sscanf(ppm.c_str(), "P6 %d %d %d%n", &s.width, &s.height, &max, &used) == 3)
      s.rgb = ppm.substr(size_t(used) + 1);
    EXPECT_EQ(s.rgb.size(), size_t(3 * 1024 * 768));
    return s;
  }
  // Position and size of the window with the caption, as "x y w h".
  std::string geometry(const std::string &caption) {
    std::string id = x("xdotool search --name '^" + caption + "$'");
    return geometry_of(id.substr(0, id.find('\n')));
  }
  uint16_t shown(const char *caption, int16_t px, int16_t py, uint16_t w, uint16_t h,
                 uint16_t wclass = 0, uint16_t owner = 0, int show = 3) {
    String c = text(caption);
    return gag_newwindow_1(owner, wclass ? wclass : cls, px, py, w, h, &c, 1, show);
  }
  // The window whose caption matches, once it shows (ten seconds at most).
  std::string await(const std::string &caption) {
    std::string id = x("xdotool search --sync --name '" + caption + "'");
    return id.substr(0, id.find('\n'));
  }
  // Position and size of the window, as "x y w h".
  std::string geometry_of(const std::string &id) {
    std::string out = x("xdotool getwindowgeometry --shell " + id);
    int v[4] = {-1, -1, -1, -1};
    sscanf(out.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &v[0], &v[1], &v[2], &v[3]);
    return std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) + " " + std::to_string(v[3]);
  }
  // Polls the condition, pumping the back end between polls, until it holds or ten
  // seconds have passed; whether it held.
  static bool until(const std::function<bool()> &ready) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);;) {
      if (ready()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      gagscren_dispatch(0);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // A screen shot for which the condition holds (the last one after ten seconds).
  Shot shot_when(const std::function<bool(const Shot &)> &ready) {
    Shot s;
    until([&] { return ready(s = shot()); });
    return s;
  }
  // A screen shot that has stopped changing.
  Shot settled() {
    Shot last = shot();
    return shot_when([&](const Shot &t) {
      bool same = t.rgb == last.rgb;
      last = t;
      return same;
    });
  }
  // Sizes the window to w x h (placed first at (150, 25) and raised, when asked) and
  // waits until its geometry says so; whether it did.
  bool sized(const std::string &id, int w, int h, bool placed = true) {
    x("xdotool " + (placed ? "windowmove " + id + " 150 25 windowraise " + id + " " : std::string()) + "windowsize " +
      id + " " + std::to_string(w) + " " + std::to_string(h));
    int gx = 0, gy = 0, gw = 0, gh = 0;
    return until(
        [&] { return sscanf(geometry_of(id).c_str(), "%d %d %d %d", &gx, &gy, &gw, &gh) == 4 && gw == w && gh == h; });
  }
  // Waits until the file is there and holds the text (ten seconds at most).
  bool holds(const std::string &file, const std::string &text) {
    return until([&] { return access(file.c_str(), F_OK) == 0 && slurp(file).find(text) != std::string::npos; });
  }
  // Whether a metafile's size is the one its header gives, or a PDF ends with its mark.
  static bool complete(const std::string &file) {
    std::string b = access(file.c_str(), F_OK) == 0 ? slurp(file) : "";
    if (b.size() >= 52 && b.compare(0, 4, std::string("\x01\0\0\0", 4)) == 0) {
      uint32_t bytes = 0;
      memcpy(&bytes, b.data() + 48, 4);
      return bytes == b.size();
    }
    return b.find("%%EOF") != std::string::npos;
  }
  // Starts, in the background, a click at (px, py) for when the pixels around it have
  // changed from what they are now (a pop-up menu opened over them), ten seconds at most.
  static void click_when_changed(int px, int py) {
    std::string pixels = "import -window root -crop 40x8+" + std::to_string(px - 20) + "+" + std::to_string(py - 4) +
                         " -depth 8 txt:- 2>/dev/null | md5sum";
    std::string before = run("DISPLAY=" + display + " sh -c '" + pixels + "'");
    before = before.substr(0, before.find(' '));
    x("sh -c 'for k in $(seq 200); do [ \"$(" + pixels + ")\" != \"" + before +
      "  -\" ] && break; sleep 0.05; done; xdotool mousemove " + std::to_string(px) + " " + std::to_string(py) +
      " click 1' >/dev/null 2>&1 &");
  }
  static std::vector<int> grey(int v) { return {v, v, v}; }
  // A two-stage run of the plots, recorded without a display, then opened in the
  // viewer on the screen: the viewer that shows it (null when none does).
  viewer *view_staged_run(const std::string &name, const std::string &plots) {
    spit(dir.file((name + ".pde").c_str()), "TITLE '" + name + "'\nSELECT stages = 2\nVARIABLES u\nDEFINITIONS s = STAGED(1, 4)\n"
                                  "EQUATIONS div(grad(u)) + s = 0\n" + square + "PLOTS " + plots + "\nEND\n");
    std::string rc = run("cd '" + dir.path + "' && TMPDIR='" + dir.path +
                         "' DISPLAY= prlimit --cpu=60 timeout 600 '" QUENDAR_EXE "' -B -R -X " + name +
                         ".pde >/dev/null 2>&1; echo $?");
    EXPECT_EQ(rc, "0") << name;
    std::string file = dir.file((name + ".pgx").c_str());
    String path = text(file.c_str());
    views_view_pde(&path);
    viewer *v = nullptr;
    for (int32_t k = 1; k <= views_record_count(); k++)
      if (views_record(k)->window) v = views_record(k);
    return v;
  }
  // Waits until no window has the caption (ten seconds at most).
  bool gone(const std::string &id) {
    for (int k = 0; k < 100; k++) {
      if (x("xdotool getwindowname " + id).empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  // Clicks the button of the next question box whose centre lies left of the box's right
  // edge, 25 pixels above its foot; clicks again while the box stays (a click that came
  // before the box was placed and drawn is lost). Whether the box went.
  bool answer(const std::string &caption, int left) {
    std::string box = await("^" + caption + "$");
    if (box.empty()) return false;
    for (int k = 0; k < 10; k++) {
      int bx = 0, by = 0, bw = 0, bh = 0;
      until([&] { return sscanf(geometry_of(box).c_str(), "%d %d %d %d", &bx, &by, &bw, &bh) == 4 && bw > left; });
      x("xdotool mousemove " + std::to_string(bx + bw - left) + " " + std::to_string(by + bh - 25) + " click 1");
      for (int t = 0; t < 20; t++) {
        if (x("xdotool getwindowname " + box).empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    return false;
  }
  // Answers the next question box ("Quendar", "Save As") with Yes.
  void yes(const std::string &caption) { EXPECT_TRUE(answer(caption, 140)) << caption; }
  // Chooses Exit in the main window and answers its quit question.
  void exit_program() {
    x("xdotool windowfocus --sync " + await("Quendar 2") + " key alt+x");
    yes("Quendar");
  }
};

TEST_F(Display, MenuBarTakesTheTopRowsAndComesAndGoes) {
  uint32_t bar = gagscren_screennewmenu(), file = gagscren_screennewsubmenu();
  String open = text("&Open\tCtrl+O"), name = text("&File");
  gagscren_screennewmenuitem(file, 101, 0, &open);
  gagscren_screennewmenuitem(bar, 0, file, &name);
  gagscren_definemenu("ScreenTest", bar);
  String cname = text("menued"), menu = text("ScreenTest");
  uint16_t c = gag_newwindowclass_2(keep_events, &cname, &menu);
  uint16_t w = shown("menued", 1, 1, 400, 300, c);
  EXPECT_EQ(geometry("menued"), "1 1 400 300");
  EXPECT_EQ(rec(w)->client.x * 1000 + rec(w)->client.y, 400 * 1000 + 275);
  EXPECT_EQ(events.front(), (Event{w, msg_size, 400, 275}));
  gag_clearview_1(w, 2);  // a red client area below the bar
  Shot s = shot();
  EXPECT_EQ(s.at(300, 13), (std::vector<int>{192, 192, 192}));  // the bar
  EXPECT_NE(s.at(300, 1 + 24), red);
  EXPECT_EQ(s.at(300, 1 + 25), red);
  EXPECT_EQ(s.at(400, 1 + 299), red);
  EXPECT_NE(s.at(401, 1 + 299), red);
  // Taken away, the client area grows by the bar's 25 rows; put back, it shrinks.
  events.clear();
  gag_setmenu_0(w, 0);
  gagscren_screensetmenu_0(rec(w), 0);
  EXPECT_EQ(rec(w)->client.y, 300);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), (Event{w, msg_size, 400, 300}));
  gag_setmenu_1(w, &menu);
  EXPECT_EQ(rec(w)->client.y, 275);
  // File, then Open in its pop-up, which FLTK runs as a loop of its own: a helper
  // picks the item.
  pump();
  events.clear();
  click_when_changed(30, 38);
  x("xdotool mousemove 20 13 click 1");
  for (int k = 0; k < 50 && events.empty(); k++) pump();
  EXPECT_EQ(events, (std::vector<Event>{{w, msg_menu, 101, 0}}));
  EXPECT_EQ(gagscren_askheader(), 0);  // no window manager, no title bar
  int32_t dw, dh;
  gagscren_askscreen(&dw, &dh);
  EXPECT_EQ(dw * 10000 + dh, 1024 * 10000 + 768);
}

TEST_F(Display, PrimitivesLandOnTheirPixels) {
  uint16_t w = shown("canvas", 100, 100, 600, 200);
  pump();  // the first paint replays the view's empty list
  psurf *d = rec(w)->device;
  const psurf_ops *o = d->ops;
  o->clear(d, 0);
  o->pen(d, 1);
  o->colour(d, 2, PSURF_COPY);
  o->rectangle(d, 10, 10, 20, 30);
  o->colour(d, 3, PSURF_COPY);
  o->line(d, 40, 5, 60, 5);
  o->colour(d, 2, PSURF_XOR);  // white xor red is cyan; twice is white again
  o->rectangle(d, 100, 10, 120, 30);
  o->rectangle(d, 130, 10, 150, 30);
  o->rectangle(d, 130, 10, 150, 30);
  o->colour(d, 11, PSURF_COPY);
  psurf_point tri[] = {{200, 10}, {260, 10}, {230, 60}};
  o->polygon(d, tri, 3);
  o->colour(d, 3, PSURF_COPY);
  o->arc(d, 300, 10, 360, 70, 360, 40, 330, 10);  // the quarter from three to twelve o'clock
  o->clip(d, 400, 10, 410, 20);
  o->rectangle(d, 390, 0, 420, 30);
  o->clip(d, 0, 0, 600, 200);
  o->pixel(d, 450, 15);
  const uint8_t image[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
  o->image(d, 470, 10, 2, 2, image);
  o->text(d, 20, 150, "Quendar", 7, 30, 0, 1, 0);
  int32_t tw, th;
  o->extent(d, "Quendar", 7, 30, &tw, &th);
  EXPECT_EQ(geometry("canvas"), "100 100 600 200");
  Shot s = shot();
  auto at = [&](int px, int py) { return s.at(100 + px, 100 + py); };
  struct Pixel {
    int x, y;
    std::vector<int> rgb;
    const char *what;
  } pixels[] = {
      {10, 10, red, "a fill covers columns left..right - 1 and rows top..bottom - 1"},
      {19, 29, red, "fill"},
      {20, 10, white, "fill's right"},
      {10, 30, white, "fill's bottom"},
      {9, 10, white, "fill's left"},
      {40, 5, black, "line"},
      {59, 5, black, "line"},
      {60, 5, white, "a thin line leaves out its last point"},
      {110, 20, cyan, "white xor red"},
      {140, 20, white, "xor twice"},
      {230, 25, {230, 27, 0}, "the first spectrum colour"},
      {230, 9, white, "a polygon has no outline"},
      {400, 10, black, "clipped fill"},
      {409, 19, black, "clipped fill"},
      {399, 15, white, "left of the clip"},
      {410, 15, white, "right of the clip"},
      {450, 15, black, "pixel"},
      {470, 10, red, "image"},
      {471, 11, black, "image"},
  };
  for (const Pixel &p : pixels) EXPECT_EQ(at(p.x, p.y), p.rgb) << p.what << " at " << p.x << "," << p.y;
  int upper = 0, lower = 0;
  for (int py = 0; py < 80; py++)
    for (int px = 295; px < 365; px++)
      if (at(px, py) == black) (py <= 41 && px >= 329 ? upper : lower)++;
  EXPECT_GT(upper, 30);
  EXPECT_EQ(lower, 0);
  // Text: ink above the baseline within its measured width, none past it.
  int ink = 0, beyond = 0;
  for (int py = 120; py < 150; py++)
    for (int px = 15; px < 200; px++)
      (px < 20 + tw ? ink : beyond) += at(px, py)[0] < 128;
  EXPECT_GT(ink, 50);
  EXPECT_EQ(beyond, 0);
  EXPECT_GE(th, 30);
  EXPECT_LT(th, 45);
}

TEST_F(Display, OwnedWindowsCloseWithTheirOwner) {
  uint16_t a = shown("owner", 10, 10, 200, 200), b = shown("owned", 50, 50, 100, 100, 0, a);
  EXPECT_EQ(geometry("owned"), "50 50 100 100");
  events.clear();
  gag_destroywindow(a);
  pump();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0], (Event{b, msg_destroy, 0, 0}));
  EXPECT_EQ(events[1], (Event{a, msg_destroy, 0, 0}));
  EXPECT_EQ(x("xdotool search --name '^owned$'"), "");
}

// A window moved while hidden shows where it was moved, not where it was made.
TEST_F(Display, AWindowMovedBeforeItShowsKeepsItsPlace) {
  uint16_t w = shown("moved", 10, 10, 200, 150, 0, 0, 2);
  gag_movewindow(w, 300, 200, 200, 150);
  gag_showwindow(w, 3);
  pump();
  EXPECT_EQ(geometry("moved"), "300 200 200 150");
}

TEST_F(Display, TypedTextReachesTheEditControl) {
  String name = text("typing");
  static uint16_t edit = gag_newwindowclass_1(keep_events, &name, GAG_EDIT);
  uint16_t w = shown("typing", 0, 300, 300, 200, edit);
  pwin_handle h = rec(w)->window;
  pwin->edit_set(h, "one\r\ntwo\r\n");
  EXPECT_STREQ(pwin->edit_get(h), "one\r\ntwo\r\n");
  pwin->edit_select(h, 10, 10);  // the end
  pump();
  x("xdotool search --name '^typing$' windowfocus --sync");
  x("xdotool type --delay 20 xy");
  std::string got;
  for (int k = 0; k < 100 && got != "one\r\ntwo\r\nxy"; k++) {
    pump();
    got = pwin->edit_get(h);
  }
  EXPECT_EQ(got, "one\r\ntwo\r\nxy");
  EXPECT_TRUE(pwin->edit_can(h, 0));
  gag_destroywindow(w);
}

TEST_F(Display, ScrollBarsNarrowTheClientAndReportLines) {
  String name = text("scrolled");
  uint16_t c = gag_newwindowclass_1(keep_events, &name, GAG_SCROLL);
  uint16_t w = shown("scrolled", 200, 200, 300, 200, c);
  int s = 16;  // FLTK's scroll bar width
  EXPECT_EQ(rec(w)->client.x * 1000 + rec(w)->client.y, (300 - s) * 1000 + 200 - s);
  gagscren_vscrollset(rec(w), 0, 100, 10, 50);
  pump();
  events.clear();
  // The lower arrow of the vertical bar.
  x("xdotool mousemove " + std::to_string(200 + 300 - s / 2) + " " + std::to_string(200 + 200 - s - s / 2) + " click 1");
  for (int k = 0; k < 100 && events.size() < 2; k++) pump();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], (Event{w, msg_vscroll, 1, 0}));  // a line down
  EXPECT_EQ(events[1], (Event{w, msg_vscroll, 8, 0}));  // the end
}

TEST_F(Display, TextPastTheLimitIsRefusedWithABox) {
  String name = text("full");
  static uint16_t edit = gag_newwindowclass_1(keep_events, &name, GAG_EDIT);
  uint16_t w = shown("full", 0, 300, 300, 200, edit);
  pwin_handle h = rec(w)->window;
  std::string text(29996, 'a');
  text += "\r\n";  // 29998 characters
  pwin->edit_set(h, text.c_str());
  pwin->edit_select(h, int32_t(text.size()), int32_t(text.size()));
  pump();
  std::string seen = dir.file("seen");
  // The box is modal: a helper notes it and closes it once it shows.
  x("sh -c \"b=\\$(xdotool search --sync --name '^EDIT$'); echo \\$b >" + seen +
    "; xdotool windowfocus \\$b; xdotool key Escape\" >/dev/null 2>&1 &");
  x("xdotool search --name '^full$' windowfocus --sync");
  x("xdotool type --delay 20 xyz");
  for (int k = 0; k < 100 && access(seen.c_str(), F_OK) != 0; k++) pump();
  pump();
  EXPECT_NE(atoi(slurp(seen).c_str()), 0) << "no box";
  std::string got = pwin->edit_get(h);
  EXPECT_EQ(got.size(), size_t(30000));
  EXPECT_EQ(got.substr(got.size() - 4), "\r\nxy");
}

TEST_F(Display, CancelInTheNoticeIsKept) {
  pwin_handle n = pwin->notice(0, "Printing");
  pump();
  EXPECT_FALSE(pwin->notice_cancelled(n));
  // The notice is 240 x 100 in the middle of the screen, Cancel 80 x 30 at (80, 55).
  x("xdotool mousemove " + std::to_string((1024 - 240) / 2 + 120) + " " +
    std::to_string((768 - 100) / 2 + 70) + " click 1");
  for (int k = 0; k < 50 && !pwin->notice_cancelled(n); k++) pump();
  EXPECT_TRUE(pwin->notice_cancelled(n));
  pwin->kill_notice(n);
}

// On a display the program chooses the screen unless the run is a batch run; a
// problem run at once (R) with X ends as it does without a display: the same exit
// code and the same end of its log.
TEST_F(Display, TheProgramEndsItsRunOnADisplayAsWithoutOne) {
  spit(dir.file("heat.pde"),
       "TITLE 'heat'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) = 0\nBOUNDARIES\n REGION 1\n"
       "  START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nEND\n");
  auto outcome = [&](const char *words, const std::string &display) {
    std::string rc = run("cd '" + dir.path + "' && TMPDIR='" + dir.path + "' DISPLAY=" + display +
                         " prlimit --cpu=30 timeout 300 '" QUENDAR_EXE "' " + words + " >/dev/null 2>&1; echo $?");
    std::string log = slurp(dir.file("heat.log"));
    remove(dir.file("heat.log").c_str());
    size_t end = log.rfind('\n', log.size() >= 2 ? log.size() - 2 : 0);
    return rc + " " + (end == std::string::npos ? log : log.substr(end + 1));
  };
  for (const char *words : {"-B -X -P heat.pde", "-X -R -P heat.pde"})
    EXPECT_EQ(outcome(words, display), outcome(words, "")) << words;
}

// A recorded two-stage run of five plots viewed on the screen: its windows lie in
// the tiles a run uses, and Next replaces what the tiles show.
TEST_F(Display, ViewerTilesARecordedRunAndStepsIt) {
  viewer *v = view_staged_run("staged", "CONTOUR(u) CONTOUR(u*x) CONTOUR(u+y) ELEVATION(u) FROM (0,0.5) TO (1,0.5) VECTOR(grad(u))");
  ASSERT_TRUE(v);
  ASSERT_EQ(v->current, 1);
  ASSERT_EQ(v->group.count, 5);
  // 2 rows of 3 tiles right of the 150-pixel column: (1024 - 150) / 3 wide,
  // trunc(291 x 100 / 139) high with no title bar.
  // The captions as xdotool's patterns.
  const char *captions[] = {"CONTOUR\\(u\\)", "CONTOUR\\(u\\*x\\)", "CONTOUR\\(u\\+y\\)", "ELEVATION\\(u\\)",
                            "VECTOR\\(grad\\(u\\)\\)"};
  pump();
  for (int k = 0; k < 5; k++)
    EXPECT_EQ(geometry(captions[k]), std::to_string(150 + (k % 3) * 291) + " " + std::to_string(k / 3 * 209) + " 291 209")
        << captions[k];
  Shot before = shot();
  window_func(v->window, msg_menu, VIEWS_NEXT, 0);
  ASSERT_EQ(v->current, 2);
  Shot after = shot();
  int changed = 0;
  for (int y = 0; y < 418; y++)
    for (int x = 150; x < 1023; x++) changed += before.at(x, y) != after.at(x, y);
  EXPECT_GT(changed, 100);
  window_func(v->window, msg_close, 0, 0);
  EXPECT_EQ(v->window, 0);
}

// An eigenvalue run with a monitor recorded, then viewed: the listing and the twelve
// mode plots are thirteen windows on the screen, the listing in the first tile.
TEST_F(Display, ViewerShowsTheEigenvalueListingWithTheModes) {
  spit(dir.file("modes.pde"), "TITLE 'modes'\nSELECT\n MODES = 6\n NGRID = 10\nVARIABLES\n u\nEQUATIONS\n"
                              " div(grad(u)) + lambda*u = 0\n" + square + "MONITORS\n CONTOUR(u)\nPLOTS\n"
                              " CONTOUR(u) PAINTED\n SURFACE(u)\nEND\n");
  const std::string limited = "' DISPLAY= prlimit --cpu=60 timeout 600 '" QUENDAR_EXE "' ";
  ASSERT_EQ(
      run("cd '" + dir.path + "' && TMPDIR='" + dir.path + limited + "-B -R -X modes.pde >/dev/null 2>&1; echo $?"),
      "0");
  std::string file = dir.file("modes.pgx");
  String path = text(file.c_str());
  views_view_pde(&path);
  viewer *v = views_record(views_record_count());
  ASSERT_TRUE(v && v->window);
  ASSERT_EQ(v->group.count, 13);
  std::set<uint16_t> windows;
  for (int32_t k = 1; k <= v->group.count; k++) windows.insert(v->windows.data[v->group.data[k - 1]]);
  EXPECT_EQ(windows.size(), 13u);
  std::string listing = await("^Eigenvalues:$");
  ASSERT_FALSE(listing.empty());
  // Thirteen tiles: four columns of (1024 - 150) / 4, the listing's at the top left.
  EXPECT_EQ(geometry_of(listing).substr(0, 6), "150 0 ");
  EXPECT_TRUE(until([&] {
    std::string ids = x("xdotool search --onlyvisible --name '^(Eigenvalues:|CONTOUR\\(u\\)|SURFACE\\(u\\))$'");
    std::istringstream in(ids);
    return std::distance(std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()) == 13;
  }));
  window_func(v->window, msg_close, 0, 0);
}

// Without a file the main window fills the screen below its one-pixel offset; the
// banner takes 68 rows of its 743-row client (743 x 1.3782 / 15), grey right of
// its text, and the background starts on the next row.
TEST_F(Display, StartUpShowsTheMainWindowAndItsBanner) {
  Program q(dir.path, display, {});
  std::string main = await("Quendar");
  EXPECT_EQ(geometry_of(main), "1 1 1024 768");
  Shot s = shot_when([&](const Shot &t) { return t.at(1000, 1 + 12) == grey(192) && t.at(1000, 93) == grey(242); });
  EXPECT_EQ(s.at(1000, 1 + 12), grey(192));  // the menu bar
  for (int row : {26, 60, 93}) EXPECT_EQ(s.at(1000, row), grey(242)) << row;
  for (int column : {2, 1000}) EXPECT_NE(s.at(column, 94), grey(242)) << column;
}

// Five plots run at once: two rows of three tiles right of the problem window, no
// menu bars, white to their last pixel; the problem window's status panel keeps
// its 28 lines over the 405 rows under its two-row menu bar.
TEST_F(Display, FivePlotsTileBesideTheProblemWindow) {
  spit(dir.file("five.pde"), "TITLE 'five'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) + 4 = 0\n" + square +
                                 "PLOTS\n GRID(x,y)\n CONTOUR(u)\n ELEVATION(u) FROM (0,0) TO (1,1)\n"
                                 " SURFACE(u)\n VECTOR(grad(u))\nEND\n");
  Program q(dir.path, display, {"-R", "five.pde"});
  await("^VECTOR");
  struct Tile {
    const char *caption;
    int x, y;
  } tiles[] = {{"^GRID", 150, 25}, {"^CONTOUR", 441, 25}, {"^ELEVATION", 732, 25},
               {"^SURFACE", 150, 234}, {"^VECTOR", 441, 234}};
  std::vector<std::string> ids;
  for (const Tile &t : tiles) {
    ids.push_back(await(t.caption));
    EXPECT_EQ(geometry_of(ids.back()), std::to_string(t.x) + " " + std::to_string(t.y) + " 291 209") << t.caption;
  }
  EXPECT_EQ(geometry_of(await("^five$")), "0 25 150 455");
  Shot s = shot_when([&](const Shot &t) {
    for (const Tile &tile : tiles)
      if (t.at(tile.x + 290, tile.y + 208) != white) return false;
    return true;
  });
  for (const Tile &t : tiles) {
    EXPECT_EQ(s.at(t.x + 290, t.y + 208), white) << t.caption;
    int bar = 0;
    for (int px = t.x; px < t.x + 291; px++) bar += s.at(px, t.y + 12) == grey(192);
    EXPECT_LT(bar, 50) << t.caption << ": a menu bar";
  }
  // The panel's text lines: where each run of ink rows starts, below the bar, whose
  // titles take two rows of the 150-pixel window ("File Modify", "Continue").
  std::vector<int> starts;
  bool inked = false;
  for (int row = 25 + 50; row < 480; row++) {
    bool ink = false;
    for (int px = 0; px < 150; px++) ink = ink || s.at(px, row)[0] < 128;
    if (ink && !inked) starts.push_back(row);
    if (!starts.empty() && row - starts.back() > 40) break;  // past the text
    inked = ink;
  }
  ASSERT_GE(starts.size(), 6u);
  double pitch = double(starts[starts.size() - 2] - starts[0]) / double(starts.size() - 2);
  EXPECT_EQ(std::lround(405 / pitch), 28) << pitch;
  // A tile's client grown to 321 rows takes its menu bar again; shrunk to 279 it loses it.
  for (auto [height, bar] : {std::pair{321, true}, {279, false}}) {
    x("xdotool windowsize " + ids[0] + " 291 " + std::to_string(height));
    Shot t = shot_when([&, bar = bar](const Shot &u) { return (u.at(150 + 100, 25 + 12) == grey(192)) == bar; });
    EXPECT_EQ(t.at(150 + 100, 25 + 12) == grey(192), bar) << height;
    if (!bar) break;
    // With its bar: Export > EMF and Print, each taking the name the chooser offers.
    struct Output {
      int x, y;  // the menu item, then its pop-up's item
      const char *file;
    } outputs[] = {{150 + 230, 62, "five01.EMF"}, {150 + 80, 0, "GRID(x,y).pdf"}};
    for (const Output &o : outputs) {
      // A click or a key that comes before its menu or chooser is placed and drawn is
      // lost: the whole choice is made again, three times at most, until the file is
      // written to its end (the metafile's size the one its header gives, the PDF with
      // its end-of-file mark).
      bool written = false;
      for (int attempt = 0; attempt < 3 && !written; attempt++) {
        if (o.y) click_when_changed(o.x, o.y);
        x("xdotool mousemove " + std::to_string(o.x) + " 37 click 1");
        std::string chooser = await("^Save As$");
        for (int k = 0; k < 10 && !chooser.empty() && !x("xdotool getwindowname " + chooser).empty(); k++) {
          x("xdotool windowfocus --sync " + chooser + " key Return");
          for (int t = 0; t < 20 && !x("xdotool getwindowname " + chooser).empty(); t++)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        written = until([&] { return complete(dir.file(o.file)); });
      }
      EXPECT_TRUE(written) << o.file;
    }
    if (have("emf2svg-conv")) {
      std::string svg = dir.file("five01.svg");
      x("emf2svg-conv -i '" + dir.file("five01.EMF") + "' -o '" + svg + "'");
      std::string got = slurp(svg);
      EXPECT_NE(got.find("<svg"), std::string::npos);
      EXPECT_GT(std::count(got.begin(), got.end(), '\n'), 100) << "an empty drawing";
    }
    if (have("pdfinfo")) {
      std::string info = x("pdfinfo '" + dir.file("GRID(x,y).pdf") + "'");
      EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+1\\s"))) << info;
    }
  }
}

// Messages for the main window reach the user: option O opens the chooser, and a
// descriptor that is not there says so in a box; once it is closed the main window's
// caption names no problem.
TEST_F(Display, OpenDialogAndAMissingDescriptorShow) {
  {
    Program q(dir.path, display, {"-O"});
    EXPECT_FALSE(await("^Open$").empty()) << "no open dialog";
  }
  Program q(dir.path, display, {"typo.pde"});
  std::string box = await("^ERROR$");
  ASSERT_FALSE(box.empty()) << "no box";
  EXPECT_FALSE(x("xdotool search --name '^typo: Quendar'").empty()) << "named while it loads";
  int bx = 0, by = 0, bw = 0, bh = 0;  // its OK button at its foot, on the right
  sscanf(geometry_of(box).c_str(), "%d %d %d %d", &bx, &by, &bw, &bh);
  x("xdotool mousemove " + std::to_string(bx + bw - 50) + " " + std::to_string(by + bh - 25) + " click 1");
  EXPECT_TRUE(until([&] { return !x("xdotool search --name '^Quendar 2.20d 3D$'").empty(); }))
      << x("xdotool search --name 'Quendar'");
}

// The descriptor opened without R shows in the editor; typed text, saved with
// Alt+S, reaches the file.
TEST_F(Display, TextTypedIntoTheEditorIsSaved) {
  spit(dir.file("edited.pde"), "TITLE 'edited'\nEND\n");
  Program q(dir.path, display, {"edited.pde"});
  std::string editor = await("^edited.pde$");
  x("xdotool mousemove 400 400");
  x("xdotool windowfocus --sync " + editor + " key ctrl+End");
  x("xdotool type --delay 20 'typed here'");
  x("xdotool key alt+s");
  EXPECT_TRUE(holds(dir.file("edited.pde"), "typed here")) << slurp(dir.file("edited.pde"));
  EXPECT_EQ(slurp(dir.file("edited.pde")).rfind("TITLE 'edited'", 0), 0u);
}

// While a long run goes on: closing the main window asks first, and No keeps it;
// Alt+S in the problem window stops the run and says so in its log. The heating goes
// on for ever, so the steps stay short however the run measures its error.
TEST_F(Display, ARunningProblemAsksBeforeQuittingAndStopsOnAltS) {
  spit(dir.file("long.pde"), "TITLE 'long'\nSELECT\n ERRLIM = 1e-5\nVARIABLES\n u\nINITIAL VALUES\n"
                                 " u = sin(pi*x)*sin(pi*y)\nEQUATIONS\n div(grad(u)) + sin(10*t) = dt(u)\n" + square +
                                 "TIME 0 TO 1e9\nEND\n");
  Program q(dir.path, display, {"-R", "long.pde"});
  std::string main = await("Quendar"), problem = await("^long$");
  ASSERT_TRUE(holds(dir.file("long.log"), "Step 2 "));
  // The window manager's close request, sent as one would.
  spit(dir.file("close.py"),
       "import ctypes, sys\nx = ctypes.CDLL('libX11.so.6')\nx.XOpenDisplay.restype = ctypes.c_void_p\n"
       "x.XOpenDisplay.argtypes = [ctypes.c_char_p]\nx.XInternAtom.restype = ctypes.c_ulong\n"
       "x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]\n"
       "x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]\n"
       "x.XFlush.argtypes = [ctypes.c_void_p]\nclass E(ctypes.Structure):\n"
       "    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),\n"
       "                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong), ('message_type', ctypes.c_ulong),\n"
       "                ('format', ctypes.c_int), ('l', ctypes.c_long * 5), ('pad', ctypes.c_long * 12)]\n"
       "d = x.XOpenDisplay(None)\nw = int(sys.argv[1])\n"
       "e = E(type=33, window=w, format=32, message_type=x.XInternAtom(d, b'WM_PROTOCOLS', 0))\n"
       "e.l[0] = x.XInternAtom(d, b'WM_DELETE_WINDOW', 0)\nx.XSendEvent(d, w, 0, 0, ctypes.byref(e))\nx.XFlush(d)\n");
  x("python3 " + dir.file("close.py") + " " + main);
  // The question box, 220 x 87 with Yes and No at its foot: No.
  EXPECT_TRUE(answer("Quendar", 50)) << "the box stays";
  EXPECT_EQ(geometry_of(main), "1 1 1024 768") << "the main window went";
  x("xdotool mousemove 75 200");
  x("xdotool windowfocus --sync " + problem + " key alt+s");
  EXPECT_TRUE(holds(dir.file("long.log"), "USER STOP"));
}

// The problem window's panel keeps its first lines under either menu bar: the name
// and the clock are inked in their rows while the run goes (one-row Stop/Finish bar)
// and after Alt+S has stopped it (the two-row bar of a halted problem).
TEST_F(Display, ThePanelsNameAndClockShowWhileARunGoesAndAfter) {
  spit(dir.file("panel.pde"), "TITLE 'panel'\nVARIABLES\n u\nINITIAL VALUES\n u = sin(pi*x)*sin(pi*y)\n"
                              "EQUATIONS\n div(grad(u)) + sin(10*t) = dt(u)\n" + square + "TIME 0 TO 1e9\nEND\n");
  Program q(dir.path, display, {"-R", "panel.pde"});
  std::string problem = await("^panel$");
  ASSERT_TRUE(holds(dir.file("panel.log"), "Step 2 "));
  int px = 0, py = 0, pw = 0, ph = 0;
  sscanf(geometry_of(problem).c_str(), "%d %d %d %d", &px, &py, &pw, &ph);
  // Ink in the rows of the panel's first lines: the white client starts below the bar.
  auto lines = [&](const Shot &s, int *name, int *clock) {
    int top = py;
    while (top < py + 80 && s.at(px + 140, top) != white) top++;
    auto ink = [&](int y1, int y2) {
      int n = 0;
      for (int y = top + y1; y < top + y2; y++)
        for (int x = px; x < px + 150; x++) n += s.at(x, y) != white;
      return n;
    };
    *name = ink(0, 16), *clock = ink(16, 23);
    return *name > 20 && *clock > 40;
  };
  int name = 0, clock = 0;
  shot_when([&](const Shot &s) { return lines(s, &name, &clock); });
  EXPECT_GT(name, 20) << "the name, while running";
  EXPECT_GT(clock, 40) << "the clock, while running";
  x("xdotool windowfocus --sync " + problem + " key alt+s");
  ASSERT_TRUE(holds(dir.file("panel.log"), "USER STOP"));
  shot_when([&](const Shot &s) { return s.at(px + 140, py + 30) == s.at(px + 140, py + 10) && lines(s, &name, &clock); });
  EXPECT_GT(name, 20) << "the name, stopped";
  EXPECT_GT(clock, 40) << "the clock, stopped";
}

// A long label of the status panel ("Building Matrix ", "Damping Matrix ") keeps
// clear of its value, and so does a short one beside a six-digit value: every column
// the value inks lies a character's gap (eight pixels) right of the label's ink.
TEST_F(Display, LongStatusLabelsKeepClearOfTheirValues) {
  uint16_t w = shown("panel", 0, 0, 150, 430);
  pad d{};
  display_initpad(&d, 28, w);
  uint8_t colour = display_textcolour;
  display_textcolour = 1;
  // Columns where two shots differ, as [first, last].
  auto inked = [](const Shot &a, const Shot &b) {
    std::pair<int, int> span{1024, -1};
    for (int y = 0; y < 430; y++)
      for (int x = 0; x < 150; x++)
        if (a.at(x, y) != b.at(x, y)) span = {std::min(span.first, x), std::max(span.second, x)};
    return span;
  };
  int line = 1;
  for (auto [label, number] : {std::pair{"Building Matrix ", 0}, {"Damping Matrix ", 0}, {"Residual", 0},
                               {"MEM(K)", 129842}}) {
    String l = text(label);
    Shot blank = shot();
    display_report(&d, uint16_t(line), &l);
    Shot named = shot();
    if (number) display_force_num(&d, uint16_t(line), number);
    else display_force_num2(&d, uint16_t(line), 12, 12);
    Shot valued = shot();
    auto own = inked(blank, named), value = inked(named, valued);
    ASSERT_GE(own.second, 0) << label;
    ASSERT_GE(value.second, 0) << label;
    EXPECT_GT(value.first, own.second + 8) << label;
    line++;
  }
  display_textcolour = colour;
  display_free(&d);
  gag_killview(w);
}

// The descriptor printed from the editor, then Exit: the program ends with code 0
// and says nothing on standard error.
TEST_F(Display, ExitAfterPrintingEndsCleanly) {
  spit(dir.file("printed.pde"), "TITLE 'printed'\nEND\n");
  Program q(dir.path, display, {"printed.pde"}, "stderr.txt");
  std::string editor = await("^printed.pde$");
  x("xdotool mousemove 400 400");
  x("xdotool windowfocus --sync " + editor + " key alt+p");
  x("xdotool windowfocus --sync " + await("^Save As$") + " key Return");
  ASSERT_TRUE(holds(dir.file("printed.pde.pdf"), "%%EOF"));
  exit_program();
  ASSERT_TRUE(q.ended(10));
  EXPECT_TRUE(WIFEXITED(q.status) && WEXITSTATUS(q.status) == 0) << q.status;
  EXPECT_EQ(slurp(dir.file("stderr.txt")), "");
}

// A termination request to a program left open after its run ends it without a box
// that waits for a click, the shell's way (128 + SIGTERM), with TERMINATED in the log.
TEST_F(Display, TerminationEndsAnIdleProgramWithoutAQuestion) {
  spit(dir.file("idle.pde"),
       "TITLE 'idle'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) + 1 = 0\nBOUNDARIES\n REGION 1\n"
       "  START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nEND\n");
  Program q(dir.path, display, {"-R", "idle.pde"});
  ASSERT_TRUE(holds(dir.file("idle.log"), "DONE"));
  kill(q.pid, SIGTERM);
  ASSERT_TRUE(q.ended(10)) << "still running after SIGTERM";
  EXPECT_TRUE(WIFEXITED(q.status) && WEXITSTATUS(q.status) == 128 + SIGTERM) << q.status;
  EXPECT_TRUE(holds(dir.file("idle.log"), "TERMINATED"));
}

// Text typed into the editor and not saved: Exit asks whether to save it, and Yes
// saves it through a chooser that starts in the descriptor's folder.
TEST_F(Display, ExitAsksToSaveTypedText) {
  spit(dir.file("typed.pde"), "TITLE 'typed'\nEND\n");
  Program q(dir.path, display, {"typed.pde"}, "stderr.txt");
  std::string editor = await("^typed.pde$");
  x("xdotool mousemove 400 400");
  x("xdotool windowfocus --sync " + editor + " key ctrl+End");
  x("xdotool type --delay 20 'unsaved words'");
  exit_program();
  yes("Quendar");  // has been modified: save?
  std::string chooser = await("^Save As$");
  // The chooser lists the folder: its file list shows the descriptor's name in ink.
  int cx = 0, cy = 0, cw = 0, ch = 0;
  sscanf(geometry_of(chooser).c_str(), "%d %d %d %d", &cx, &cy, &cw, &ch);
  Shot s = shot();
  int ink = 0;
  for (int py = cy + 50; py < cy + 110; py++)
    for (int px = cx + 15; px < cx + 160; px++) ink += s.at(px, py)[0] < 100;
  EXPECT_GT(ink, 30) << "an empty file list";
  x("xdotool windowfocus --sync " + chooser + " key Return");
  yes("Save As");  // replace the file
  ASSERT_TRUE(q.ended(10));
  EXPECT_TRUE(WIFEXITED(q.status) && WEXITSTATUS(q.status) == 0) << q.status;
  EXPECT_NE(slurp(dir.file("typed.pde")).find("unsaved words"), std::string::npos);
}

// The editor's Edit menu opened by a click shows Undo, a divider and Cut, Copy and
// Paste: four items, so its height is four rows and a divider, not five rows.
TEST_F(Display, MenusShowSeparatorsAsLines) {
  spit(dir.file("menu.pde"), "TITLE 'menu'\nEND\n");
  Program q(dir.path, display, {"menu.pde"});
  std::string editor = await("^menu.pde$");
  int ex = 0, ey = 0, ew = 0, eh = 0;
  sscanf(geometry_of(editor).c_str(), "%d %d %d %d", &ex, &ey, &ew, &eh);
  Shot closed = shot();
  // "Edit" is the second item of the editor's bar, after "Abandon".
  x("xdotool mousemove " + std::to_string(ex + 100) + " " + std::to_string(ey + 12) + " click 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Shot open = shot();
  int top = 768, bottom = -1;
  for (int py = ey + 25; py < 768; py++)
    if (open.at(ex + 110, py) != closed.at(ex + 110, py)) top = std::min(top, py), bottom = py;
  x("xdotool key Escape");
  ASSERT_GE(bottom, 0) << "no menu opened";
  // The bar's grey rows, at its empty right end: each item of the menu is about as
  // high, so four items and a divider take under four and a half, five items more.
  int rows = bottom - top + 1, bar = 0;
  for (int py = ey; py < ey + 40; py++) bar += closed.at(ex + ew - 5, py) == grey(192);
  ASSERT_GT(bar, 10) << geometry_of(editor);
  EXPECT_LT(2 * rows, 9 * bar) << rows << " rows under a bar of " << bar;
}

// A time run with a monitor each cycle shows its monitor windows while it runs,
// and what they show changes from cycle to cycle.
TEST_F(Display, MonitorsOfATimeRunChangeWhileItRuns) {
  spit(dir.file("decay.pde"), "TITLE 'decay'\nVARIABLES\n u\nINITIAL VALUES\n u = sin(pi*x)*sin(pi*y)\n"
                              "EQUATIONS\n div(grad(u)) + 10*sin(10*t) = dt(u)\n" + square +
                              "TIME 0 TO 1e9\nMONITORS\n FOR CYCLE=1\n ELEVATION(u) FROM (0,0.5) TO (1,0.5)\n"
                              "PLOTS\n FOR T = 1e9\n CONTOUR(u)\nEND\n");
  Program q(dir.path, display, {"-R", "decay.pde"});
  std::string monitor = await("^ELEVATION");
  ASSERT_TRUE(holds(dir.file("decay.log"), "Step 3 "));
  int mx = 0, my = 0, mw = 0, mh = 0;
  sscanf(geometry_of(monitor).c_str(), "%d %d %d %d", &mx, &my, &mw, &mh);
  Shot a = shot();
  ASSERT_TRUE(holds(dir.file("decay.log"), "Step 40 "));
  Shot b = shot();
  int changed = 0, inked = 0;
  for (int py = my; py < my + mh && py < 768; py++)
    for (int px = mx; px < mx + mw && px < 1024; px++) {
      changed += a.at(px, py) != b.at(px, py);
      inked += b.at(px, py) != white;
    }
  EXPECT_GT(inked, 1000) << "a blank monitor";
  EXPECT_GT(changed, 20) << "the monitor did not change";
}

// Modify, then Run in the editor, twenty times: each first click on Run starts a run.
TEST_F(Display, EveryFirstClickOnRunStartsARun) {
  spit(dir.file("again.pde"), "TITLE 'again'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) + 1 = 0\n" + square + "END\n");
  Program q(dir.path, display, {"-R", "again.pde"});
  auto count = [&](const std::string &word) {
    std::string log = slurp(dir.file("again.log"));
    int n = 0;
    for (size_t at = log.find(word); at != std::string::npos; at = log.find(word, at + 1)) n++;
    return n;
  };
  auto reaches = [&](const std::string &word, int n) {
    for (int k = 0; k < 100; k++) {
      if (count(word) >= n) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  };
  ASSERT_TRUE(reaches("--DONE--", 1));
  int missed = 0;
  for (int k = 1; k <= 20; k++) {
    x("xdotool mousemove 73 37 click 1");  // Modify, in the problem window
    ASSERT_FALSE(x("xdotool search --sync --onlyvisible --name '^again.pde$'").empty());
    x("xdotool mousemove 480 37 click 1");  // Run, in the editor
    bool started = false;
    for (int t = 0; t < 20 && !started; t++) {
      started = count("START") > k;
      if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!started) {
      missed++;
      x("xdotool mousemove 480 37 click 1");
    }
    ASSERT_TRUE(reaches("--DONE--", k + 1)) << k;
  }
  EXPECT_EQ(missed, 0);
}

// The status panel pictures the mesh a time run has refined to: at its end the
// picture holds far more mesh lines than the first mesh's picture (the same
// problem solved without refinement). The limit is one the run meets only past its start's
// mesh (a run keeps a mesh that meets its limit: at 5e-5 the decay's start mesh meets it since
// the mesh takes the larger share of the error).
TEST_F(Display, TheStatusPanelPicturesTheRefinedMesh) {
  auto red = [&](const std::string &select) {
    spit(dir.file("art.pde"), "TITLE 'art'\nSELECT\n ERRLIM = 1e-5\n" + select +
                                  "VARIABLES\n u\nINITIAL VALUES\n"
                                  " u = sin(pi*x)*sin(pi*y)\nEQUATIONS\n div(grad(u)) = dt(u)\n" +
                                  square + "TIME 0 TO 0.1\nEND\n");
    remove(dir.file("art.log").c_str());
    Program q(dir.path, display, {"-R", "art.pde"});
    EXPECT_TRUE(holds(dir.file("art.log"), "--DONE--"));
    await("^art$");
    Shot s = shot();
    int n = 0;
    for (int py = 320; py < 480; py++)
      for (int px = 0; px < 150; px++) n += s.at(px, py)[0] > 200 && s.at(px, py)[1] < 80;
    return n;
  };
  int first = red(" REGRID = OFF\n"), refined = red("");
  EXPECT_GT(refined, first * 13 / 10) << first << " " << refined;
}

// The viewer as a person uses it: after a group its panel lists the file name and the
// group's values, and every item of its 150-pixel menu bar is reached with the mouse.
TEST_F(Display, ViewerPanelShowsTheGroupAndItsMenusAreReachable) {
  viewer *v = view_staged_run("two", "CONTOUR(u)");
  ASSERT_TRUE(v);
  ASSERT_EQ(v->current, 1);
  // The panel's lines: the file name, then the group's values, nothing left over.
  std::vector<std::string> lines;
  for (int k = 0; k < v->panel.last; k++) lines.push_back(std::string(v->panel.labels.items[k].text, v->panel.labels.items[k].length));
  EXPECT_EQ(lines, (std::vector<std::string>{"two.pgx", "STAGE", "GRID", "NODES", "CELLS", "RMS Error"}));
  // The 150-pixel bar wraps into three rows (Restart Previous / Next Print All /
  // Movie); the panel starts below them, its first line (the file name) drawn there
  // in the panel's text colour on white.
  Shot s = shot();
  auto inked = [&](int y1, int y2) {
    int n = 0;
    for (int y = y1; y < y2; y++)
      for (int x = 0; x < 150; x++) n += s.at(x, y) != white;
    return n;
  };
  EXPECT_GT(inked(76, 76 + 16), 20) << "the file name";
  EXPECT_EQ(s.at(140, 80), white);
  // Next, on the second row, chosen with the mouse.
  x("xdotool mousemove 15 37 click 1");
  for (int k = 0; k < 100 && v->current != 2; k++) {
    gagscren_dispatch(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(v->current, 2);
  window_func(v->window, msg_close, 0, 0);
}

// Small stroke text keeps its dots: a decimal point, or a polygon, that shrinks to
// one pixel is drawn as that pixel.
TEST_F(Display, DotsOfSmallTextStay) {
  uint16_t w = shown("dots", 100, 100, 200, 100);
  pump();
  psurf *d = rec(w)->device;
  d->ops->clear(d, 0);
  d->ops->pen(d, 1);
  d->ops->colour(d, 3, PSURF_COPY);
  psurf_point dot[] = {{20, 20}, {20, 20}}, blob[] = {{40, 20}, {40, 20}, {40, 20}};
  d->ops->polyline(d, dot, 2);
  d->ops->polygon(d, blob, 3);
  int32_t cx = 0, cy = 0;
  pwin->origin(rec(w)->window, &cx, &cy);
  Shot s = shot();
  EXPECT_EQ(s.at(cx + 20, cy + 20), black);
  EXPECT_EQ(s.at(cx + 40, cy + 20), black);
  EXPECT_EQ(s.at(cx + 30, cy + 20), white);
}

// The banner's name stands clear of the lines beside it: a column of background runs
// from the top of the banner to its foot between them, and the lines end inside it.
TEST_F(Display, TheBannerNameStandsApartFromItsTagline) {
  Program q(dir.path, display, {});
  await("Quendar");
  Shot s = shot();
  auto clear = [&](int x) {
    for (int y = 26; y < 93; y++)
      if (s.at(x, y) != grey(242)) return false;
    return true;
  };
  auto named = [&] {
    for (int x = 5; x < 250; x++)
      if (!clear(x)) return true;
    return false;
  };
  for (int k = 0; k < 50 && !named(); k++) s = shot();  // drawn once the first paint came
  ASSERT_TRUE(named()) << "no name";
  // The widest run of clear columns where the name ends and the lines begin.
  int widest = 0, run = 0;
  for (int x = 150; x < 500; x++) widest = std::max(widest, run = clear(x) ? run + 1 : 0);
  EXPECT_GE(widest, 8) << "the name runs into the tagline";
  EXPECT_TRUE(clear(1022)) << "the lines run off the right edge";
}

// A plot's label lines are drawn in black where they belong: the title at the top
// left, the file and version lines at the top right, the status line and the value
// line one above the other at the foot, on the left (bands of the client's height).
TEST_F(Display, PlotLabelsAreDrawn) {
  spit(dir.file("labels.pde"), "TITLE 'labelled'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) + 4 = 0\n" + square +
                                   "PLOTS\n CONTOUR(u)\nEND\n");
  Program q(dir.path, display, {"-R", "labels.pde"});
  std::string plot = await("^CONTOUR");
  int px = 0, py = 0, pw = 0, ph = 0;
  sscanf(geometry_of(plot).c_str(), "%d %d %d %d", &px, &py, &pw, &ph);
  ASSERT_GT(pw * ph, 10000);
  int top = py, ch = ph;
  // Black pixels in a box of the client, as fractions of its width and height.
  auto ink = [&](const Shot &s, double x1, double x2, double y1, double y2) {
    int n = 0;
    for (int y = top + int(y1 * ch); y < top + int(y2 * ch); y++)
      for (int x = px + int(x1 * pw); x < px + int(x2 * pw); x++) n += s.at(x, y) == black;
    return n;
  };
  struct Band {
    const char *what;
    double x1, x2, y1, y2;
  } bands[] = {{"the title", 0, 0.3, 0, 0.05},         {"the file and version", 0.6, 1, 0, 0.1},
               {"the status line", 0, 0.6, 0.9, 0.94}, {"the value line", 0, 0.6, 0.945, 0.985}};
  Shot s = shot_when([&](const Shot &t) {
    for (top = py; top < py + 60 && t.at(px + pw / 2, top) != white; top++) {}
    ch = py + ph - top;
    for (const Band &b : bands)
      if (ink(t, b.x1, b.x2, b.y1, b.y2) < 30) return false;
    return true;
  });
  for (const Band &b : bands) EXPECT_GE(ink(s, b.x1, b.x2, b.y1, b.y2), 30) << b.what;
  // Between the status and value lines and the plot's frame: no black across the foot's right.
  EXPECT_EQ(ink(s, 0.75, 1, 0.9, 1), 0) << "ink right of the foot's lines";
}

// A time run's status line ("Cycle=", "Time=", "dt=", ... "RMS Err=") in a plot of
// half the screen's width, with a long problem name, is made smaller to end inside
// the window.
TEST_F(Display, ATimeRunsStatusLineEndsInsideItsPlot) {
  spit(dir.file("decay_monitors.pde"), "TITLE 'decay'\nSELECT\n ERRLIM = 1e-5\nVARIABLES\n u\nINITIAL VALUES\n"
                              " u = sin(pi*x)*sin(pi*y)\nEQUATIONS\n div(grad(u)) = dt(u)\n" + square +
                              "TIME 0 TO 0.1\nPLOTS\n FOR T = 0.05 0.1\n  CONTOUR(u)\nHISTORIES\n"
                              " HISTORY(u) AT (0.5,0.5)\nEND\n");
  Program q(dir.path, display, {"-R", "decay_monitors.pde"});
  ASSERT_TRUE(holds(dir.file("decay_monitors.log"), "--DONE--"));
  std::string plot = await("^CONTOUR");
  int px = 0, py = 0, pw = 0, ph = 0;
  sscanf(geometry_of(plot).c_str(), "%d %d %d %d", &px, &py, &pw, &ph);
  ASSERT_LT(pw, 600);
  // Dark pixels in the status line's rows (0.9 to 0.95 of the window), columns x1 to x2.
  auto ink = [&](const Shot &s, int x1, int x2) {
    int n = 0;
    for (int y = py + int(0.9 * ph); y < py + int(0.95 * ph); y++)
      for (int x = px + x1; x < px + x2; x++) n += s.at(x, y)[0] < 128 && s.at(x, y)[2] < 128;
    return n;
  };
  Shot s = shot_when([&](const Shot &t) { return ink(t, 0, pw / 2) > 100; });
  EXPECT_GT(ink(s, 0, pw / 2), 100) << "the status line";
  EXPECT_EQ(ink(s, pw - 6, pw), 0) << "the status line runs off the window";
}

// A modal dialog on the screen: its items are set as it opens; "17" typed into its edit
// field over the 42 set there and Done pressed with the mouse, the callback reads the
// items and ends the box with its result.
TEST_F(Display, ADialogIsSetReadAndEndedByItsButton) {
  define_test_dialog();
  uint16_t w = shown("owner", 100, 100, 400, 300);
  pump();
  dialog_notes.clear();
  // In the background: once the box shows, select the edit field's text and type over
  // it, then press Done until the box goes.
  x("sh -c 'id=$(xdotool search --sync --name \"^Test dialog$\"); eval $(xdotool getwindowgeometry --shell $id);"
    " xdotool windowfocus --sync $id key ctrl+a type --delay 50 17;"
    " for k in $(seq 50); do xdotool getwindowname $id >/dev/null 2>&1 || break;"
    " xdotool mousemove $((X + 180)) $((Y + 105)) click 1; sleep 0.2; done' >/dev/null 2>&1 &");
  String name = text("TestDlg");
  EXPECT_EQ(gagscren_screendialogbox(rec(w), &name, test_dialog), 7);
  ASSERT_GE(dialog_notes.size(), 3u);
  EXPECT_EQ(dialog_notes[0], "1");
  EXPECT_EQ(dialog_notes[dialog_notes.size() - 2], "105");
  EXPECT_EQ(dialog_notes.back(), "17 mesh 1");
  gag_killview(w);
}

// A contour plot's legend in a plot window of 725 x 521 can be read: its rows of
// characters (bands of inked rows in the left column, below the titles' rule) are at
// least 9 pixels high, and no character is cut at the legend view's right edge or runs
// from the first column into the second.
TEST_F(Display, LegendCharactersAreTallEnoughAndWhole) {
  spit(dir.file("legend.pde"), "TITLE 'legend'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) + 4 = 0\n" + square +
                                   "PLOTS\n CONTOUR(u)\nEND\n");
  Program q(dir.path, display, {"-R", "legend.pde"});
  ASSERT_TRUE(holds(dir.file("legend.log"), "--DONE--"));
  std::string plot = await("^CONTOUR");
  x("xdotool windowsize " + plot + " 725 521");
  int px = 0, py = 0, pw = 0, ph = 0;
  ASSERT_TRUE(until([&] {
    return sscanf(geometry_of(plot).c_str(), "%d %d %d %d", &px, &py, &pw, &ph) == 4 && pw == 725 && ph == 521;
  }));
  // The legend view: x 0.9 to 1.35, y 0.1 to 0.94 of the client's smaller side; its
  // rows from the titles' rule down.
  int x1 = 0, x2 = 0, middle = 0, y1 = 0, y2 = 0;
  auto inked = [&](const Shot &s, int xa, int xb, int y) {
    int n = 0;
    for (int x = xa; x < xb; x++) n += s.at(x, y) != white;
    return n;
  };
  auto ink = [&](const Shot &s, int xa, int xb) {
    int n = 0;
    for (int y = y1; y < y2; y++) n += inked(s, xa, xb, y);
    return n;
  };
  // Heights of the bands of inked rows of the first column.
  auto rows = [&](const Shot &s) {
    std::vector<int> bands;
    for (int y = y1, run = 0; y < y2; y++) {
      if (inked(s, x1, middle, y)) run++;
      else if (run) bands.push_back(run), run = 0;
    }
    std::sort(bands.begin(), bands.end());
    return bands;
  };
  Shot s = shot_when([&](const Shot &t) {
    int top = py;
    while (top < py + 60 && t.at(px + pw / 2, top) != white) top++;
    int ch = py + ph - top, unit = std::min(pw, ch);
    x1 = px + int(0.9 * unit), x2 = px + int(1.35 * unit), middle = (x1 + x2) / 2;
    y1 = top + ch - int(0.94 * unit), y2 = top + ch - int(0.1 * unit);
    while (y1 < y2 && inked(t, x1, x2, y1) < (x2 - x1) / 2) y1++;
    y1 += 2;
    return rows(t).size() >= 10;
  });
  std::vector<int> bands = rows(s);
  ASSERT_GE(bands.size(), 10u) << "the legend's rows";
  EXPECT_GE(bands[bands.size() / 2], 9) << "the legend's characters";
  EXPECT_GT(ink(s, x2 - 14, x2 - 2), 20) << "the second column's values";
  EXPECT_EQ(ink(s, x2 - 1, x2 + 6), 0) << "a value cut at the legend's edge";
  EXPECT_EQ(ink(s, middle + 1, middle + 6), 0) << "a value past its column";
}

// Windows resized and set back to a size show the picture they showed at it: the status
// panel's labels keep their size (they were laid out by the width before the resize);
// every legend's text, the elevation's and the history's too, is at least 9 pixels high
// at the default 725 x 521 tile, and stays as it was through a resize; a plot window made
// narrower than it was drawn shows its whole picture.
TEST_F(Display, PanelsAndLegendsKeepTheirPixelsThroughAResize) {
  spit(dir.file("sizes.pde"), "TITLE 'sizes'\n" + three_plots);
  Program q(dir.path, display, {"-R", "sizes.pde"});
  ASSERT_TRUE(holds(dir.file("sizes.log"), "--DONE--"));
  // The pixels of a rectangle of the screen.
  auto region = [](const Shot &s, int x0, int y0, int w, int h) {
    std::string out;
    for (int y = y0; y < y0 + h; y++)
      out += s.rgb.substr(3 * (size_t(y) * size_t(s.width) + size_t(x0)), 3 * size_t(w));
    return out;
  };
  std::string problem = await("^sizes$");
  EXPECT_EQ(geometry_of(problem), "0 25 150 455");
  std::string panel = region(settled(), 0, 25, 150, 455);
  ASSERT_TRUE(sized(problem, 300, 455, false));
  ASSERT_TRUE(sized(problem, 150, 455, false));
  EXPECT_TRUE(region(settled(), 0, 25, 150, 455) == panel) << "the status panel after a resize";
  for (const char *caption : {"^CONTOUR", "^ELEVATION", "^HISTORY"}) {
    std::string plot = await(caption);
    // On top, where the whole tile lies on the screen.
    x("xdotool windowmove " + plot + " 150 25 windowraise " + plot);
    ASSERT_TRUE(sized(plot, 725, 521, false)) << caption;
    int px = 0, py = 0, pw = 0, ph = 0;
    sscanf(geometry_of(plot).c_str(), "%d %d %d %d", &px, &py, &pw, &ph);
    Shot s = settled();
    int top = py;
    while (top < py + 60 && s.at(px + pw / 2, top) != white) top++;
    int ch = py + ph - top, unit = std::min(pw, ch);
    // The legend: right of the plot frame, the upper half of the client.
    int x1 = px + int(0.9 * unit), x2 = px + pw - 2, y1 = top + 2, y2 = top + ch / 2;
    std::vector<int> bands;
    for (int y = y1, run = 0; y < y2; y++) {
      bool ink = false;
      for (int xx = x1; xx < x2 && !ink; xx++) ink = s.at(xx, y) != white;
      if (ink) run++;
      else if (run) bands.push_back(run), run = 0;
    }
    std::sort(bands.begin(), bands.end());
    ASSERT_GE(bands.size(), 2u) << caption;
    EXPECT_GE(bands[bands.size() / 2], 9) << caption << ": the legend's characters";
    std::string legend = region(s, x1, y1, x2 - x1, y2 - y1);
    // Narrower than it was drawn, the window shows the whole picture: no ink at its
    // right edge, where the legend and the header were cut off.
    ASSERT_TRUE(sized(plot, 560, 521, false)) << caption;
    Shot narrow = settled();
    int edge = 0;
    for (int y = top + 2; y < py + ph - 2; y++)
      for (int xx = px + 560 - 8; xx < px + 560 - 1; xx++) edge += narrow.at(xx, y) != white;
    EXPECT_EQ(edge, 0) << caption << ": ink at the right edge of a narrowed window";
    ASSERT_TRUE(sized(plot, 500, 521, false)) << caption;
    ASSERT_TRUE(sized(plot, 725, 521, false)) << caption;
    EXPECT_TRUE(region(settled(), x1, y1, x2 - x1, y2 - y1) == legend) << caption << ": the legend after a resize";
  }
}

// A plot that cannot be drawn shows why across its window in the spectrum's red, as
// legible text at the 725 x 521 and 483 x 347 tiles; an elevation's path marks in its
// location picture are legible at both and come back to their height when the window
// does to its size. Heights are those of the bands of rows holding red.
TEST_F(Display, UndrawnPlotsSayWhyInRedAndPathMarksKeepTheirSize) {
  spit(dir.file("undrawn.pde"), "TITLE 'undrawn'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) + 4 = 0\n" + square +
                                    "PLOTS\n ELEVATION(u) FROM (2,2) TO (3,3)\n STREAMLINE(dx(u), dy(u))\n"
                                    " ELEVATION(2*u) FROM (0,0.5) TO (1,0.5)\nEND\n");
  Program q(dir.path, display, {"-R", "undrawn.pde"});
  ASSERT_TRUE(holds(dir.file("undrawn.log"), "--DONE--"));
  auto reddish = [](const std::vector<int> &c) { return c[0] > 180 && c[1] < 110 && c[2] < 90; };
  // The red pixels of a box of the screen and the tallest band of rows holding them.
  struct Red {
    int pixels = 0, tallest = 0;
  };
  auto red_in = [&](const Shot &s, int x1, int x2, int y1, int y2) {
    Red r;
    for (int y = y1, run = 0; y <= y2; y++) {
      int n = 0;
      for (int xx = x1; y < y2 && xx < x2; xx++) n += reddish(s.at(xx, y));
      r.pixels += n;
      if (n) run++;
      else r.tallest = std::max(r.tallest, run), run = 0;
    }
    return r;
  };
  const std::pair<int, int> tiles[] = {{725, 521}, {483, 347}};
  for (const char *caption : {"^ELEVATION\\(u\\)$", "^STREAMLINE"}) {
    std::string plot = await(caption);
    std::vector<int> tallest;
    for (auto [w, h] : {tiles[0], tiles[1], tiles[0]}) {
      ASSERT_TRUE(sized(plot, w, h)) << caption;
      Red r = red_in(settled(), 150, 150 + w, 25 + 30, 25 + h);
      EXPECT_GT(r.pixels, 100) << caption << " at " << w << " x " << h;
      EXPECT_GE(r.tallest, 9) << caption << " at " << w << " x " << h;
      tallest.push_back(r.tallest);
      if (getenv("SHOW")) printf("%s %d x %d: message %d px\n", caption + 1, w, h, r.tallest);
    }
    EXPECT_EQ(tallest[2], tallest[0]) << caption << ": the message after a resize";
  }
  // The location picture: the right third of the client's lower half.
  std::string plot = await("^ELEVATION\\(2");
  std::vector<int> heights;
  for (auto [w, h] : {tiles[0], tiles[1], tiles[0]}) {
    ASSERT_TRUE(sized(plot, w, h));
    heights.push_back(red_in(settled(), 150 + 2 * w / 3, 150 + w, 25 + h / 2, 25 + h - 30).tallest);
    if (getenv("SHOW")) printf("location marks %d x %d: %d px\n", w, h, heights.back());
  }
  EXPECT_GE(heights[1], 9) << "the path marks at 483 x 347";
  EXPECT_GE(heights[0], heights[1]);
  EXPECT_EQ(heights[2], heights[0]) << "the path marks after a resize";
  EXPECT_LE(heights[0], 40) << "the path marks at 725 x 521";
}

// A band legend whose values carry a "Scale = E-3" note has characters of the size of
// one without (the note is written across the legend's foot, not measured into a
// column), legible at the 725 x 521 and 483 x 347 tiles, and the same again when the
// window comes back to its size. A character's height is the median band of rows
// holding dark pixels in the legend's right half.
TEST_F(Display, ABandLegendsScaleNoteLeavesItsCharactersTheirSize) {
  spit(dir.file("note.pde"), "TITLE 'note'\nVARIABLES\n u\nEQUATIONS\n div(grad(u)) + 4 = 0\n" + square +
                                 "PLOTS\n SURFACE(u)\n SURFACE(u/100)\nEND\n");
  Program q(dir.path, display, {"-R", "note.pde"});
  ASSERT_TRUE(holds(dir.file("note.log"), "--DONE--"));
  auto character = [&](const Shot &s, int w, int h) {
    std::vector<int> bands;
    for (int y = 25 + h / 5, run = 0; y < 25 + 4 * h / 5; y++) {
      bool dark = false;
      for (int xx = 150 + 62 * w / 100; xx < 150 + w - 2 && !dark; xx++) {
        std::vector<int> c = s.at(xx, y);
        dark = c[0] < 90 && c[1] < 90 && c[2] < 90;
      }
      if (dark) run++;
      else if (run) bands.push_back(run), run = 0;
    }
    std::sort(bands.begin(), bands.end());
    return bands.size() < 5 ? 0 : bands[bands.size() / 2];
  };
  std::map<std::string, std::vector<int>> heights;
  for (const char *caption : {"^SURFACE\\(u\\)$", "^SURFACE\\(u/100\\)$"}) {
    std::string plot = await(caption);
    for (auto [w, h] : {std::pair{725, 521}, {483, 347}, {725, 521}}) {
      ASSERT_TRUE(sized(plot, w, h)) << caption;
      heights[caption].push_back(character(settled(), w, h));
    }
  }
  const std::vector<int> &plain = heights["^SURFACE\\(u\\)$"], &noted = heights["^SURFACE\\(u/100\\)$"];
  EXPECT_EQ(noted, plain) << "the legend with a scale note";
  EXPECT_GE(noted[1], 9) << "at 483 x 347";
  EXPECT_EQ(noted[2], noted[0]) << "after a resize";
  if (getenv("SHOW"))
    for (size_t k = 0; k < noted.size(); k++)
      printf("band legend, pass %zu: %d px plain, %d px with the scale note\n", k + 1, plain[k], noted[k]);
}

// Axis numbers are legible and of one size in a contour, an elevation and a history plot,
// at the 725 x 521 and 483 x 347 tiles, as tall as the contour legend's characters beside
// them. A character's height is a band of rows holding ink: the legend's the median band
// of its rows (the legend view is x 0.9 to 1.35, y 0.1 to 0.94 of the client's smaller
// side, from the bottom), the numbers' the commonest band in the columns of their last
// digits, left of the frame's left side (the first column inked down most of its height).
// The axes' titles are no shorter than the numbers: the x title's band of rows below the
// numbers', the turned y title's band of columns left of them.
TEST_F(Display, AxisNumbersAreAsTallAsTheLegendText) {
  spit(dir.file("axes.pde"), "TITLE 'axes'\n" + three_plots);
  Program q(dir.path, display, {"-R", "axes.pde"});
  ASSERT_TRUE(holds(dir.file("axes.log"), "--DONE--"));
  auto median = [](std::vector<int> bands) {
    std::sort(bands.begin(), bands.end());
    return bands.empty() ? 0 : bands[bands.size() / 2];
  };
  // The bands of rows of [y1, y2) holding ink in columns [x1, x2).
  auto bands = [](const Shot &s, int x1, int x2, int y1, int y2) {
    std::vector<int> out;
    for (int y = y1, run = 0; y <= y2; y++) {
      bool ink = false;
      for (int xx = x1; y < y2 && xx < x2 && !ink; xx++) ink = s.at(xx, y) != white;
      if (ink) run++;
      else if (run) out.push_back(run), run = 0;
    }
    return out;
  };
  std::map<int, int> sizes;  // the contour's numbers by tile width
  for (const char *caption : {"^CONTOUR", "^ELEVATION", "^HISTORY"}) {
    std::string plot = await(caption);
    std::vector<std::pair<int, int>> seen;  // legend and numbers at each tile in turn
    for (auto tile : {std::pair{725, 521}, {483, 347}, {725, 521}}) {
      // Named copies, not a structured binding: the lambdas below capture the height.
      const int w = tile.first, h = tile.second;
      ASSERT_TRUE(sized(plot, w, h)) << caption;
      Shot s = settled();
      int px = 150, py = 25, top = py;
      while (top < py + 60 && s.at(px + w / 2, top) != white) top++;
      int ch = py + h - top, unit = std::min(w, ch);
      int legend = median(
          bands(s, px + int(0.9 * unit), px + w - 2, top + ch - int(0.94 * unit) + 4, top + ch - int(0.1 * unit)));
      // The frame's left side: the first column inked over nine tenths of the middle third.
      int y1 = top + ch / 3, y2 = top + 2 * ch / 3, frame = -1;
      for (int xx = px + 2; xx < px + int(0.9 * unit) && frame < 0; xx++) {
        int n = 0;
        for (int y = y1; y < y2; y++) n += s.at(xx, y) != white;
        if (n >= 9 * (y2 - y1) / 10) frame = xx;
      }
      ASSERT_GT(frame, 0) << caption << " at " << w << " x " << h << ": the frame";
      // The numbers end left of the ticks: their last digits, in the last inked columns.
      auto inked = [&](int xx) {
        for (int y = top + 4; y < py + h - 4; y++)
          if (s.at(xx, y) != white) return true;
        return false;
      };
      int right = frame - 6;
      while (right > px && !inked(right)) right--;
      int left = right - 7;
      right = std::min(right + 2, frame - 4);
      // The commonest band there: a contour's labels by the frame are fewer than its numbers.
      std::map<int, int> count;
      for (int b : bands(s, left, right + 1, top + 4, py + h - 4)) count[b]++;
      int numbers = 0;
      for (auto [height, n] : count)
        if (n >= count[numbers]) numbers = height;
      // The frame's bottom side: the lowest row inked along its first columns; its top and
      // right sides the ends of the runs of ink from its bottom left corner.
      int base = py + h - 5, L = 30;
      for (; base > y2; base--) {
        int n = 0;
        for (int xx = frame + 1; xx <= frame + L; xx++) n += s.at(xx, base) != white;
        if (n >= 9 * L / 10) break;
      }
      int ftop = base, fright = frame;
      while (ftop > top && s.at(frame, ftop - 1) != white) ftop--;
      while (fright < px + w - 2 && s.at(fright + 1, base) != white) fright++;
      int cx = (frame + fright) / 2, cy = (ftop + base) / 2;
      if (caption[1] != 'C') {
        // An elevation's and a history's legend: lines of text below the frame's top, above
        // the location picture in the lower half; measured in the columns of their first
        // characters, so that lines whose parentheses reach each other stay apart.
        int x1 = px + int(0.9 * unit), y1 = ftop + 2, y2 = top + ch / 2;
        while (x1 < px + w - 2 && bands(s, x1, x1 + 1, y1, y2).empty()) x1++;
        legend = median(bands(s, x1, x1 + 6, y1, y2));
      }
      // The x axis's title: the band of rows under the frame after the numbers' (the first as
      // tall as they are, with the ticks' ends when they reach it), over the frame's first
      // three quarters (an exponent stands at its right end).
      std::vector<int> under = bands(s, frame + 1, cx + (fright - frame) / 4, base + 1, py + h - 4);
      size_t k = 0;
      while (k < under.size() && under[k] < numbers) k++;
      int xtitle = k + 1 < under.size() ? under[k + 1] : 0;
      // The y axis's title, turned: its characters' height runs along x, the first band of
      // columns holding ink from the left over the rows about the frame's middle.
      int ytitle = 0;
      for (int xx = px + 2, run = 0; xx < frame && !ytitle; xx++) {
        bool ink = false;
        for (int y = cy - 4; y <= cy + 4 && !ink; y++) ink = s.at(xx, y) != white;
        if (ink) run++;
        else if (run) ytitle = run;
      }
      if (getenv("SHOW"))
        printf("%s %d x %d: legend %d px, axis numbers %d px, x title %d px, y title %d px\n", caption + 1, w, h,
               legend, numbers, xtitle, ytitle);
      EXPECT_GE(numbers, 9) << caption << " at " << w << " x " << h << ": the axis numbers";
      EXPECT_GE(legend, 9) << caption << " at " << w << " x " << h << ": the legend";
      seen.push_back({legend, numbers});
      EXPECT_GE(xtitle, numbers) << caption << " at " << w << " x " << h << ": the x axis's title";
      if (caption[1] != 'H') {  // a history's y axis has no title
        EXPECT_GE(ytitle, numbers) << caption << " at " << w << " x " << h << ": the y axis's title";
      }
      if (caption[1] == 'C') {
        EXPECT_NEAR(numbers, legend, 1) << "at " << w << " x " << h << ": numbers against the legend";
        sizes[w] = numbers;
      } else {
        // Characters of one size measure a pixel apart by where their strokes fall.
        EXPECT_NEAR(numbers, sizes[w], 1) << caption << " at " << w << " x " << h << ": numbers against the contour's";
      }
    }
    EXPECT_EQ(seen[2], seen[0]) << caption << ": the legend and the numbers after a resize";
  }
}

// A descriptor error opens the editor with the word before the error position
// selected, on the error's line: typing replaces just that selection.
TEST_F(Display, TheEditorSelectsTheWordOfAnError) {
  std::string text = slurp(std::string(QUENDAR_SOURCE_DIR) + "/tests/data/plots/bcvar.pde");
  ASSERT_NE(text.find("VALUE(w)=0"), std::string::npos);
  spit(dir.file("bcvar.pde"), text);
  Program q(dir.path, display, {"-R", "bcvar.pde"});
  std::string box = await("^ERROR$"), editor = await("^bcvar.pde$");
  // The box's OK, at its foot on the right.
  int bx = 0, by = 0, bw = 0, bh = 0;
  sscanf(geometry_of(box).c_str(), "%d %d %d %d", &bx, &by, &bw, &bh);
  x("xdotool mousemove " + std::to_string(bx + bw - 50) + " " + std::to_string(by + bh - 25) + " click 1");
  for (int k = 0; k < 50 && !x("xdotool search --name '^ERROR$'").empty(); k++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  x("xdotool mousemove 400 600");
  x("xdotool windowfocus --sync " + editor + " type --delay 20 u");
  x("xdotool key alt+s");
  // Selected were the word and the text after it up to the error position: "w)".
  std::string mended = text;
  mended.replace(mended.find("VALUE(w)"), 8, "VALUE(u");
  EXPECT_TRUE(holds(dir.file("bcvar.pde"), "VALUE(u=0")) << slurp(dir.file("bcvar.pde"));
  std::string saved = slurp(dir.file("bcvar.pde"));
  saved.erase(std::remove(saved.begin(), saved.end(), '\r'), saved.end());  // saved with CR LF
  EXPECT_EQ(saved, mended);
}

TEST(DisplayFallback, ADisplayThatWillNotOpenLeavesTheHeadlessService) {
  pwin_service *before = pwin;
  const char *was = getenv("DISPLAY");
  std::string saved = was ? was : "";
  setenv("DISPLAY", ":65000", 1);
  testing::internal::CaptureStderr();
  bool screen = pwin_use_screen();
  std::string said = testing::internal::GetCapturedStderr();
  if (was) setenv("DISPLAY", saved.c_str(), 1);
  else unsetenv("DISPLAY");
  if (std::string(pwin->name) == "screen") GTEST_SKIP() << "the display is already open";
  EXPECT_FALSE(screen);
  EXPECT_EQ(pwin, before);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}
