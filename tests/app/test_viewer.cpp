// The plot-file viewer on files written by an independent python3 writer
// (tests/graphics/pgxmake.py) and on the plot files of real runs: stepping, slots,
// garbled and truncated files, commands given while a group is read, movies.
#include "app/views.h"

#include <unistd.h>

#include <cstdlib>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "runtime/bopmem.h"
#include "app/windower.h"
#include "tests/graphics/fixture.h"

namespace {

std::vector<std::pair<uint16_t, float>> frames;  // per movie frame: the current group and the window's value
viewer *movie_of = nullptr;
int stop_after = 0;

struct Viewer : Graphics {
  void SetUp() override {
    Graphics::SetUp();
    frames.clear();
    stop_after = 0;
    views_delay = [](uint16_t ms) {
      EXPECT_EQ(ms, 200);
      frames.push_back({movie_of->current, value(movie_of->moviewindow)});
      if (int(frames.size()) == stop_after) command(movie_of->moviewindow, VIEWS_PLOT_STOP);
    };
  }
  void TearDown() override {
    for (int32_t k = 1; k <= views_record_count(); k++)
      if (views_record(k)->window) command(views_record(k)->window, -1);
    Graphics::TearDown();
  }
  // A file from its description's JSON; returns the path.
  std::string make(const std::string &json, const char *name = "t.pgx") {
    std::string path = dir.file(name);
    std::string cmd = "python3 " QUENDAR_SOURCE_DIR "/tests/graphics/pgxmake.py " + path + " '" + json + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
    return path;
  }
  viewer *open(const std::string &path) {
    String p = text(path.c_str());
    views_view_pde(&p);
    for (int32_t k = views_record_count(); k >= 1; k--)
      if (views_record(k)->window) return views_record(k);
    return nullptr;
  }
  // A menu command (-1: close the window).
  static void command(uint16_t view, int id) {
    if (id < 0) window_func(view, msg_close, 0, 0);
    else window_func(view, msg_menu, id, 0);
  }
  // The value the window's recorded line was drawn to.
  static float value(uint16_t window) {
    const glblock *b = checkview(window) ? gag_views[window - 1]->displaylist : nullptr;
    for (; b; b = b->next)
      for (uint32_t i = 0; i < b->count; i++)
        if (b->entries[i].opcode == gldraw) return b->entries[i].v[0];
    return -1;
  }
  int count(const std::string &what) {
    std::string s = boxes_text();
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) n++;
    return n;
  }
};

// Three groups of two plots; plot values 10 x group + slot.
std::string three(int flags = 0) {
  std::string g;
  for (int k = 1; k <= 3; k++)
    g += std::string(k > 1 ? "," : "") + "{\"nodes\":" + std::to_string(100 * k) + ",\"step\":" + std::to_string(k) +
         ",\"time\":" + std::to_string(0.5 * k) + ",\"plots\":[[1,\"A\"," + std::to_string(10 * k + 1) +
         "],[2,\"B\"," + std::to_string(10 * k + 2) + "]]}";
  return "{\"header\":[2,0," + std::to_string(flags) + "],\"groups\":[" + g + "]}";
}

TEST_F(Viewer, StepsThroughTheGroups) {
  viewer *v = open(make(three()));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->current, 1);
  EXPECT_EQ(v->slots, 2);
  const struct {
    int command;
    uint16_t group;
    int nomore;
  } steps[] = {{VIEWS_NEXT, 2, 0},     {VIEWS_NEXT, 3, 0},    {VIEWS_PREVIOUS, 2, 0}, {VIEWS_RESTART, 1, 0},
               {VIEWS_PREVIOUS, 1, 1}, {VIEWS_NEXT, 2, 1},    {VIEWS_NEXT, 3, 1},     {VIEWS_NEXT, 3, 2}};
  for (const auto &s : steps) {
    command(v->window, s.command);
    EXPECT_EQ(v->current, s.group) << s.command;
    EXPECT_EQ(count("t.pgx: No More Plot Data"), s.nomore) << s.command;
    // Each slot's window holds the recorded picture of the group, shown in its tile.
    for (uint16_t slot = 1; slot <= 2; slot++) {
      EXPECT_EQ(value(v->windows.data[slot]), 10.0f * s.group + slot);
      EXPECT_TRUE(gag_ifvisible(v->windows.data[slot]));
    }
    EXPECT_EQ(v->nodes, 100 * s.group);
    EXPECT_EQ(v->step, s.group);
  }
  windower_grid t = windower_tile_grid(2);
  pwin_window_state w = pwin_headless_window(gag_views[v->windows.data[2] - 1]->window);
  EXPECT_EQ(std::make_pair(w.x, w.y), std::make_pair(int32_t(t.x + t.width), int32_t(t.y)));
  EXPECT_EQ(v->busy, 0);
}

// Plot slots of the header; a slot table beyond 65535 entries is refused.
TEST_F(Viewer, SlotsOfTheHeader) {
  const struct {
    int plots, modes, slots;
  } cases[] = {{2, 3, 7}, {2, 1, 3}, {4, 0, 4}, {300, 300, 0}};
  for (const auto &c : cases) {
    viewer *v = open(make("{\"header\":[" + std::to_string(c.plots) + "," + std::to_string(c.modes) +
                          ",0],\"groups\":[{\"nodes\":5,\"plots\":[[" + std::to_string(c.slots ? c.slots : 1) +
                          ",\"E\",1]]}]}"));
    if (!c.slots) {
      EXPECT_EQ(v, nullptr);
      EXPECT_EQ(count("ERROR: GARBLED PLOTFILE"), 1);
      continue;
    }
    ASSERT_TRUE(v);
    EXPECT_EQ(v->slots, c.slots);
    EXPECT_EQ(v->current, 1);  // the last slot is a plot of the file
    command(v->window, -1);
  }
}

// A bad group leaves the viewer on the last good one, its windows as they were.
TEST_F(Viewer, GarbledGroupsKeepTheLastGoodOne) {
  const char *second[] = {
      "{\"nodes\":2,\"plots\":[[0,\"A\",21]]}",                      // slot 0
      "{\"nodes\":2,\"plots\":[[3,\"A\",21]]}",                      // slot beyond the slots
      "{\"nodes\":2,\"plots\":[[1,\"A\",21],[2,\"B\",22],[1,\"C\",23]]}",  // too many plots
      "{\"nodes\":2,\"plots\":[[1,\"A\",21]],\"end\":7}",            // end mark not 0
      "{\"nodes\":2,\"plots\":[[1,\"A\",21]],\"count\":2}",          // fewer plots than announced
  };
  int32_t records = std::max(views_record_count(), 1);  // viewers of earlier tests, closed
  for (const char *g : second) {
    viewer *v = open(make(std::string("{\"header\":[2,0,0],\"groups\":[{\"nodes\":1,\"plots\":[[1,\"A\",11]]},") + g +
                          "]}"));
    ASSERT_TRUE(v);
    command(v->window, VIEWS_NEXT);
    EXPECT_EQ(v->current, 1) << g;
    EXPECT_EQ(value(v->windows.data[1]), 11.0f) << g;
    command(v->window, -1);
  }
  EXPECT_EQ(count("ERROR: GARBLED PLOTFILE"), 5);
  EXPECT_EQ(views_record_count(), records);  // a closed record was reused each time
}

// Viewers still open when the program ends, a garbled one among them, give back all
// they hold.
TEST_F(Viewer, ViewersOpenAtTheEndAreClosed) {
  std::string a = make("{\"header\":[1,0,0],\"groups\":[{\"nodes\":1,\"plots\":[[1,\"A\",11]]}]}", "a.pgx");
  command(open(a)->window, -1);  // the program-wide tables sized once
  int64_t before = XMEM;
  ASSERT_TRUE(open(a));
  ASSERT_TRUE(open(make("{\"header\":[1,0,0],\"groups\":[{\"nodes\":1,\"plots\":[[2,\"A\",11]]}]}", "b.pgx")));
  ASSERT_EQ(views_record_count(), 2);
  EXPECT_GT(XMEM, before);
  views_close_all();
  for (int32_t k = 1; k <= views_record_count(); k++) EXPECT_EQ(views_record(k)->window, 0) << k;
  EXPECT_EQ(XMEM, before);
}

// Captions read one after another into one buffer keep every character: a caption
// that just fills the room the previous one left.
TEST_F(Viewer, CaptionsReadWhole) {
  viewer *v = open(make("{\"header\":[2,0,0],\"groups\":[{\"nodes\":1,\"plots\":[[1,\"ELEVATION(u)\",1],"
                        "[2,\"VECTOR(grad(u))\",2]]}]}"));
  ASSERT_TRUE(v);
  EXPECT_STREQ(pwin_headless_window(rec(v->windows.data[1])->window).caption, "ELEVATION(u)");
  EXPECT_STREQ(pwin_headless_window(rec(v->windows.data[2])->window).caption, "VECTOR(grad(u))");
}

TEST_F(Viewer, OpeningFailures) {
  viewer *v = open(make("{\"header\":[1,0,0],\"groups\":[{\"nodes\":0}]}", "empty.pgx"));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->current, 0);
  EXPECT_EQ(count("empty.pgx: No More Plot Data"), 1);
  command(v->window, -1);
  // A group without plots is a group: shown with no windows.
  v = open(make("{\"header\":[1,0,0],\"groups\":[{\"nodes\":3}]}", "noplots.pgx"));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->current, 1);
  command(v->window, -1);
  EXPECT_EQ(open(dir.file("none.pgx") + "   "), nullptr);
  EXPECT_EQ(count(dir.file("none.pgx") + ": Can't open file"), 1);
  // A file an open problem records into.
  char cwd[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  strings_copyto_1(&verdat_plotext, "pgx");
  std::string run = dir.file("run.pde");
  String path = text(run.c_str());
  pde *p = pdedat_new_pde(&path);
  ASSERT_TRUE(p);
  make(three(), "run.pgx");
  EXPECT_EQ(open(dir.file("run.pgx")), nullptr);
  EXPECT_EQ(count("ERROR: run.pgx is still active"), 1);
  pdedat_free_pde(p);
  ASSERT_EQ(chdir(cwd), 0);
}

// Commands given while a group is read wait for it, then run one after the other.
TEST_F(Viewer, CommandsWhileBusy) {
  std::string g;
  for (int k = 1; k <= 5; k++) g += std::string(k > 1 ? "," : "") + "{\"nodes\":1,\"plots\":[[1,\"A\"," + std::to_string(k) + "]]}";
  viewer *v = open(make("{\"header\":[1,0,0],\"groups\":[" + g + "]}"));
  ASSERT_TRUE(v);
  for (int k = 0; k < 3; k++) pwin_headless_post(gag_views[v->window - 1]->window, PWIN_COMMAND, VIEWS_NEXT, 0);
  command(v->window, VIEWS_NEXT);
  EXPECT_EQ(v->current, 5);
  EXPECT_EQ(value(v->windows.data[1]), 5.0f);
  EXPECT_EQ(count("No More Plot Data"), 0);
  // Closed while busy: closed once the group is shown.
  pwin_headless_post(gag_views[v->window - 1]->window, PWIN_CLOSE, 0, 0);
  command(v->window, VIEWS_RESTART);
  EXPECT_EQ(v->window, 0);
}

// A movie of one plot window replays that window once per group until the end or Stop.
TEST_F(Viewer, MovieOfOneWindow) {
  for (int stop : {0, 2}) {
    viewer *v = open(make(three(1)));
    ASSERT_TRUE(v);
    movie_of = v;
    frames.clear();
    stop_after = stop;
    uint16_t w = v->windows.data[2];
    command(w, VIEWS_PLOT_MOVIE);
    std::vector<std::pair<uint16_t, float>> want = {{1, 12}, {2, 22}, {3, 32}};
    if (stop) want.resize(2);
    EXPECT_EQ(frames, want);
    EXPECT_EQ(v->movie, 0);
    EXPECT_EQ(v->moviewindow, 0);
    EXPECT_EQ(count("No More Plot Data"), 0);
    command(v->window, -1);
  }
}

// The plot files of real runs read group by group as the walker reads them.
TEST_F(Viewer, ReplaysRealRuns) {
  for (const char *name : {"disk", "decay", "disk_modes"}) {
    int ended = count("No More Plot Data");
    std::string d = dir.path;
    std::string cmd = "cd " + d + " && cp " QUENDAR_SOURCE_DIR "/examples/" + name + ".pde . && '" QUENDAR_EXE
                      "' -B -R -X " + name + ".pde >/dev/null 2>&1 && python3 " QUENDAR_SOURCE_DIR
                      "/tests/plot/pgxwalk.py " + name + ".pgx > walk.txt";
    ASSERT_EQ(system(cmd.c_str()), 0) << name;
    std::string walk = slurp(d + "/walk.txt");
    viewer *v = open(d + "/" + name + ".pgx");
    ASSERT_TRUE(v);
    // The viewer's groups in the walker's words, read by stepping until the end.
    std::string seen = walk.substr(0, walk.find('\n') + 1);
    for (uint16_t last = 0; v->current != last; command(v->window, VIEWS_NEXT)) {
      last = v->current;
      seen += "group " + std::to_string(v->group.count);
      for (int32_t i = 1; i <= v->group.count; i++) {
        uint16_t slot = v->group.data[i - 1];
        seen += " " + std::to_string(slot) + ":" + pwin_headless_window(rec(v->windows.data[slot])->window).caption;
      }
      seen += "\n";
    }
    EXPECT_EQ(seen, walk) << name;
    EXPECT_EQ(count("No More Plot Data"), ended + 1) << name;
    EXPECT_EQ(count("GARBLED"), 0);
    command(v->window, -1);
  }
}

}  // namespace
