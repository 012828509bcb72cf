// The back end on the headless platform: events of windows and edit windows, show
// states, menus, boxes and dialogs, and the pixel primitives.
#include <unistd.h>

#include "tests/graphics/fixture.h"
#include "tests/runtime/fatal_stop.h"

using Screen = Graphics;

TEST_F(Screen, SizeArrivesDuringCreationAndPaintAfterShow) {
  uint16_t w = window(300, 200, 0, 2);
  EXPECT_EQ(events, (std::vector<Event>{{w, msg_size, 300, 200}}));
  gag_showwindow(w, 3);
  EXPECT_EQ(events.back(), (Event{w, msg_paint, 0, 0}));
}

TEST_F(Screen, ShowStates) {
  struct Case {
    int state;
    bool hidden, visible;
  } cases[] = {{2, true, false}, {3, false, true}, {4, false, true}, {5, false, true},
               {1, false, true}, {9, false, true}};
  uint16_t w = window(100, 100);
  for (const Case &c : cases) {
    gag_showwindow(w, c.state);
    EXPECT_EQ(bool(rec(w)->hidden), c.hidden) << c.state;
    EXPECT_EQ(pwin_headless_window(rec(w)->window).visible, c.visible) << c.state;
    EXPECT_EQ(gag_ifvisible(w), !c.hidden);
  }
  uint16_t n = gag_newview_1(w, 0, 0, 1, 1, 0);
  gag_destroywindow(w);
  EXPECT_EQ(rec(n)->device, nullptr);  // nested views share the window's surface
  EXPECT_EQ(fatal_stop([w] { gag_showwindow(w, 3); }),
            "BAD ShowWindow! IN gagscren_screenshowwindow");
}

TEST_F(Screen, PlatformMessagesBecomeEvents) {
  uint16_t w = window(100, 100);
  pwin_handle h = rec(w)->window;
  events.clear();
  pwin_headless_post(h, PWIN_COMMAND, 0x00010065, 0);
  pwin_headless_post(h, PWIN_COMMAND, intptr_t(PWIN_EDIT_ERRSPACE) << 16, 1);  // the control
  pwin_headless_post(h, PWIN_VSCROLL, 3 | (40 << 16), 0);
  pwin_headless_post(h, PWIN_SIZE, PWIN_SIZE_MINIMISED, 0);
  pwin_headless_post(h, PWIN_CLOSE, 0, 0);
  gagscren_dispatch(0);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].event, msg_menu);
  EXPECT_EQ(events[0].a & 0xffff, 101);
  EXPECT_EQ(events[1], (Event{w, msg_vscroll, 3, 40}));
  EXPECT_EQ(events[2], (Event{w, msg_iconize, 0, 0}));
  EXPECT_EQ(rec(w)->iconized, 1);
  EXPECT_EQ(events[3].event, msg_close);
  EXPECT_NE(rec(w)->window, 0u);  // the callback decides; this one keeps it
  EXPECT_EQ(boxes_text(), "EDIT: Edit Control Out Of Space!\n");
  // Handed back, a close destroys the window.
  gag_defaultwinfunc(w, msg_close, 0, 0);
  EXPECT_EQ(rec(w)->window, 0u);
  EXPECT_EQ(events.back().event, msg_destroy);
  EXPECT_EQ(fatal_stop([w] { gag_defaultwinfunc(w, msg_hscroll, 0, 0); }),
            "Default Unknown Function IN gagscren_screendefaultfunc");
}

TEST_F(Screen, EditWindowsReachTheirClassThroughEditFunc) {
  String name = text("editor");
  static uint16_t edit = gag_newwindowclass_1(keep_events, &name, GAG_EDIT);
  uint16_t w = gag_newwindow_2(0, edit, 300, 300, &name, 1);
  pwin_handle h = rec(w)->window;
  events.clear();
  pwin_headless_post(h, PWIN_COMMAND, 2000, 0);  // undo
  pwin_headless_post(h, PWIN_COMMAND, 2001, 0);  // cut
  pwin_headless_post(h, PWIN_COMMAND, 3005, 0);
  pwin_headless_post(h, PWIN_SIZE, 0, 0);
  gagscren_dispatch(0);
  EXPECT_EQ(events, (std::vector<Event>{{w, msg_menu, 3005, 0}}));
  EXPECT_EQ(boxes_text(), "Undo notification: Nothing to Undo.\n");
}

TEST_F(Screen, MenusScrollBarsAndCaptions) {
  uint16_t w = window(100, 100);
  uint32_t bar = gag_newmenu(), sub = gag_newsubmenu();
  String file = text("File"), run = text("Run");
  gag_newmenuitem(sub, 101, 0, &run);
  gag_newmenuitem(bar, 7, sub, &file);
  gag_setmenu_0(w, bar);
  gag_enablemenu_1(w, 101, 0);
  bool on = true;
  EXPECT_STREQ(pwin_headless_menu_item(bar, 101, &on), "Run");
  EXPECT_FALSE(on);
  gag_disablemenu(w);
  EXPECT_EQ(pwin_headless_window(rec(w)->window).menu, 0u);
  gag_enablemenu_0(w);
  EXPECT_EQ(pwin_headless_window(rec(w)->window).menu, bar);
  gag_scrollsetv(w, 1, 90, 30, 10);
  pwin_window_state s = pwin_headless_window(rec(w)->window);
  EXPECT_EQ(std::vector<int32_t>(s.scroll[1], s.scroll[1] + 4), (std::vector<int32_t>{1, 90, 10, 30}));
  String c = text("Quendar - a.pde");
  gag_setcaption(w, &c);
  EXPECT_STREQ(pwin_headless_window(rec(w)->window).caption, "Quendar - a.pde");
}

TEST_F(Screen, BoxesAndDialogs) {
  uint16_t w = window(100, 100);
  String q = text("Continue?"), t = text("Stage");
  EXPECT_EQ(gag_yesnomessage(0, &q, &t), 0);  // no window to ask in
  EXPECT_EQ(gag_yesnomessage(w, &q, &t), 0);  // the default answer
  pwin_script_answer(PWIN_IDYES);
  EXPECT_EQ(gag_yesnomessage(w, &q, &t), 1);
  pwin_script_answer(PWIN_IDOK);
  EXPECT_EQ(gag_okcancelmessage(w, &q, &t), 1);
  // The save dialog answers the bare name and leaves its directory current.
  char cwd[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  std::string chosen = dir.file("plot.pgx");
  pwin_script_file(chosen.c_str());
  String name = text("");
  String out{};
  strings_copyto_0(&out, &name);
  String ext = text("pgx");
  EXPECT_TRUE(gag_getsavefilename(w, &ext, &out, &ext));
  EXPECT_STREQ(out.text, "plot.pgx");
  String here{};
  gag_getcurrentdirectory(&here);
  EXPECT_EQ(std::string(here.text), dir.path + "/");
  EXPECT_FALSE(gag_getopenfilename(w, &ext, &out));  // nothing scripted: cancelled
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_TRUE(gagscren_if_readonly(dir.file("missing").c_str()));
  spit(chosen, "x");
  EXPECT_FALSE(gagscren_if_readonly(chosen.c_str()));
  strings_free_0(&out);
  strings_free_0(&here);
}

// A modal dialog: its items set when it opens, read when Read and Done are pressed,
// ended by Done with its result; closed, it is cancelled; no parent view or no such
// resource: -1 and nothing called.
TEST_F(Screen, DialogBoxes) {
  define_test_dialog();
  uint16_t w = window(100, 100);
  String name = text("TestDlg"), none = text("NoSuchDlg");
  dialog_notes.clear();
  pwin_script_press(104);
  pwin_script_press(105);
  EXPECT_EQ(gagscren_screendialogbox(rec(w), &name, test_dialog), 7);
  EXPECT_EQ(dialog_notes, (std::vector<std::string>{"1", "104", "42 mesh 1", "105", "42 mesh 1"}));
  dialog_notes.clear();
  EXPECT_EQ(gagscren_screendialogbox(rec(w), &name, test_dialog), 2);  // nothing pressed: closed
  EXPECT_EQ(dialog_notes, (std::vector<std::string>{"1", "2"}));
  dialog_notes.clear();
  EXPECT_EQ(gagscren_screendialogbox(nullptr, &name, test_dialog), -1);
  EXPECT_EQ(gagscren_screendialogbox(rec(w), &none, test_dialog), -1);
  EXPECT_TRUE(dialog_notes.empty());
}

// Colours above 42 come round again; pixels truncate; a rectangle is four lines; a
// filled polygon has no outline; the clip never starts left of pixel 0.
TEST_F(Screen, PixelPrimitives) {
  uint16_t w = window(600, 400);
  viewrec *v = rec(w);
  for (auto [in, out] : {std::pair{43, 1}, {85, 1}, {42, 42}, {3, 3}}) {
    gagscren_screencolor_0(v, in);
    EXPECT_EQ(gagscren_colour, out) << in;
  }
  psurf_point p = gagscren_pixelize(v, 1.9f, -1.9f);
  EXPECT_EQ(p.x * 10 + p.y, 10 - 1);
  psurf_headless_record(v->device, true);
  points a = {0, 400}, b = {600, 0}, tri[3] = {{0, 0}, {5, 5}, {9, 0}};
  gagscren_screenrect(v, &a, &b);
  gagscren_screenpolyfill(v, tri, 3);
  gagscren_screenclip(v, &a, &b);
  gagscren_screenellipse(v, &a, &b);
  std::vector<std::string> ops;
  for (const psurf_call &c : psurf_headless_calls(v->device)) ops.push_back(c.op);
  EXPECT_EQ(ops, (std::vector<std::string>{"line", "line", "line", "line", "polygon", "clip"}));
  EXPECT_EQ(psurf_headless_calls(v->device)[5].v, (std::vector<int32_t>{0, 0, 601, 401}));
}

// A line to a point far outside the user window is drawn to its border and
// clipped; a line wholly outside the clip records nothing but moves the pen.
TEST_F(Screen, LinesClampThenClip) {
  uint16_t w = window(400, 400);
  gag_setclip_1(w, 0, 0, 0.5, 0.5);
  psurf_headless_record(rec(w)->device, true);
  gag_drawline_1(w, 0.25, 0.25, 100, 0.25);
  gag_drawline_1(w, 0.75, 0.75, 0.9, 0.9);
  const std::vector<psurf_call> &calls = psurf_headless_calls(rec(w)->device);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].v, (std::vector<int32_t>{100, 300, 200, 300}));
  EXPECT_FLOAT_EQ(rec(w)->lastrel.x, 0.9f);
  EXPECT_EQ(rec(w)->toplist->count, 4u);  // the clip's two entries and one line
}
