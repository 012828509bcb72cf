// The application's windows on the headless desktop (1024 x 768, captions 19 high,
// frames 50 high): the status panel, the tile grid against hand-worked rectangles,
// deferred shows, and the menu commands of the main, problem, plot and editor
// windows driven by events with scripted answers.
#include <sys/stat.h>
#include <unistd.h>

#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "app/gui.h"
#include "graphics/textman.h"
#include "app/windower.h"
#include "platform/pwin.h"
#include "plot/plot.h"
#include "tests/control/doubles.h"

namespace {

struct Windows : RunFixture {
  FILE *boxes = tmpfile();
  char home[4096] = {};

  void SetUp() override {
    RunFixture::SetUp();
    control_default_services();
    ASSERT_TRUE(getcwd(home, sizeof home));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    pwin_set_log(boxes);
    strings_copyto_1(&verdat_product, "Quendar");
    strings_copyto_1(&verdat_pdeext, "pde");
    verdat_get_version();
    gag_init();
    gui_graphinit();
    gui_newcount = 0;
    gui_rooticonized = 0;
  }
  void TearDown() override {
    display_clock = saved_clock;
    run_reset();
    gag_closegraph();
    pwin_set_log(nullptr);
    fclose(boxes);
    EXPECT_EQ(chdir(home), 0);
    RunFixture::TearDown();
  }
  std::string said() {
    fflush(boxes);
    rewind(boxes);
    std::string s = slurp_stream(boxes);
    rewind(boxes);
    EXPECT_EQ(ftruncate(fileno(boxes), 0), 0);
    return s;
  }
  static pwin_window_state window(uint16_t view) { return pwin_headless_window(gag_views[view - 1]->window); }
  static void command(uint16_t view, int id) {
    pwin_headless_post(gag_views[view - 1]->window, PWIN_COMMAND, id, 0);
    gagscren_dispatch(0);
  }
  pde *problem(const char *name) {
    pde *p = open_problem(path(name));
    gui_pde_window(p);
    return p;
  }
  // Plot records 1..n with their windows; listed as plots.
  void plots(pde *p, int n) {
    for (int k = 1; k <= n; k++) {
      plot_one_more_1(&p->plotrecs);
      vectorn_one_more(&p->plots, uint16_t(k));
    }
    gui_build_windows(p);
  }
  int32_t (*saved_clock)() = display_clock;
};

int32_t test_now;
int32_t test_clock() { return test_now; }

}  // namespace

// ---- Status panel ---------------------------------------------------------------------------

TEST_F(Windows, PanelLinesThrottleAndStop) {
  pde *p = problem("panel.pde");
  EXPECT_EQ(gui_top, 50);
  EXPECT_EQ(p->status.lines, 26);  // trunc(0.0625 x 430)
  display_clock = test_clock;
  test_now = 100000;
  pad *d = &p->status;
  display_clearpad(d, 0);
  String l = {1, 0, const_cast<char *>("A")};
  uint16_t line = display_report_num(d, 0, &l, 1);
  // A report stamps the line: updates 100 ms apart are not drawn until 500 ms have passed.
  test_now += 500;
  display_update_num(d, line, 2);
  test_now += 100;
  display_update_num(d, line, 3);
  EXPECT_STREQ(d->values.items[line - 1].text, "2");
  test_now += 100;
  display_force_num(d, line, 4);
  EXPECT_STREQ(d->values.items[line - 1].text, "4");
  display_report_num2(d, line, &l, 3, 7);
  EXPECT_STREQ(d->values.items[line - 1].text, "3,7");
  // A full panel: line 0 reuses the last line.
  for (int k = 2; k <= 26; k++) display_report(d, 0, &l);
  EXPECT_EQ(display_report(d, 0, &l), 26);
  display_unreport(d, 0);
  EXPECT_EQ(d->last, 0);
  // Stop, queued for the problem window, is seen by the key check that pumps it.
  pwin_headless_post(gag_views[p->pdeview - 1]->window, PWIN_COMMAND, GUI_STOP, 0);
  EXPECT_EQ(p->stop, 0);
  EXPECT_NE(display_checkkey(d), 0);
}

// ---- Tiles ----------------------------------------------------------------------------------

TEST_F(Windows, TileGridAgainstHandWorkedRectangles) {
  struct Case {
    int32_t w, h, n;
    uint16_t rows, cols, tw, th;
  } cases[] = {
      {1024, 768, 5, 2, 3, 291, 228},   // 874 / 3; 291 x 100 / 139 = 209, + 19
      {1024, 768, 11, 3, 4, 218, 175},  // 3 x 4 >= 11
      {1024, 600, 7, 3, 3, 227, 183},   // 3 x 228 > 550: 550 / 3, (183 - 19) x 1.39
      {1024, 768, 1, 1, 1, 874, 647},
      {1024, 768, 21, 5, 5, 172, 143},  // 4 x 5 < 21: 5 rows; 5 x 144 > 718: 718 / 5, 124 x 1.39
  };
  pde *p = problem("tiles.pde");
  for (const Case &c : cases) {
    gui_screenwidth = c.w, gui_screenheight = c.h;
    windower_get_tile_params(p, c.n);
    EXPECT_EQ((std::vector<int>{p->tilerows, p->tilecols, p->tilewidth, p->tileheight, p->tilex, p->tiley}),
              (std::vector<int>{c.rows, c.cols, c.tw, c.th, 150, 50}))
        << c.n << " on " << c.w << "x" << c.h;
  }
  gui_screenwidth = 1024, gui_screenheight = 768;
  plots(p, 5);
  windower_enable_plots(p, p, p, p->modes);
  const int xs[] = {150, 441, 732, 150, 441}, ys[] = {50, 50, 50, 278, 278};
  for (int k = 0; k < 5; k++) {
    pwin_window_state s = window(p->plotrecs.data[k].views[0]);
    EXPECT_EQ((std::vector<int>{s.x, s.y, s.width, s.height, s.visible, s.menu != 0}),
              (std::vector<int>{xs[k], ys[k], 291, 228, 1, 0}))
        << "plot " << k + 1;
  }
  // A tile 301 high keeps its menu bar, 300 loses it.
  for (uint16_t h : {301, 300}) {
    p->tileheight = h;
    windower_tile_plots(p, p, &p->plots, 1);
    EXPECT_EQ(window(p->plotrecs.data[0].views[0]).menu != 0, h == 301) << h;
  }
}

TEST_F(Windows, MinimisedProblemShowsItsPlotsOnRestore) {
  pde *p = problem("mini.pde");
  plots(p, 2);
  pwin_headless_post(gag_views[p->pdeview - 1]->window, PWIN_SIZE, PWIN_SIZE_MINIMISED, 0);
  gagscren_dispatch(0);
  ASSERT_EQ(p->iconized, 1);
  windower_enable_plots(p, p, p, p->modes);
  pwin_window_state s = window(p->plotrecs.data[1].views[0]);
  EXPECT_EQ((std::vector<int>{s.x, s.y, s.visible}), (std::vector<int>{150 + 437, 50, 0}));
  EXPECT_EQ(p->deferred.count, 2);
  pwin_headless_post(gag_views[p->pdeview - 1]->window, PWIN_SIZE, 0, (150 << 16) | 380);
  gagscren_dispatch(0);
  EXPECT_TRUE(window(p->plotrecs.data[0].views[0]).visible && window(p->plotrecs.data[1].views[0]).visible);
  EXPECT_EQ(p->deferred.count, 0);
  EXPECT_EQ(p->iconized, 0);
}

// ---- Commands -------------------------------------------------------------------------------

TEST_F(Windows, NewNumbersSkipExistingFiles) {
  // The names of the open problems, in slot order, each with its phase.
  auto names = [] {
    std::string out;
    for (int k = 1; k <= pdedat_count; k++)
      if (pdedat_table[k] && pdedat_table[k]->phase)
        out += std::string(pdedat_table[k]->name.text) + ":" + std::to_string(pdedat_table[k]->phase) + " ";
    return out;
  };
  command(gui_rootview, GUI_NEW);
  command(gui_rootview, GUI_NEW);
  EXPECT_EQ(names(), "PROB1:4 PROB2:4 ");
  // A new start of the program counts from 0 again, past the files that exist.
  run_reset();
  control_default_services();
  gui_newcount = 0;
  spit(path("PROB1.pde"), "x"), spit(path("PROB2.pde"), "x");
  command(gui_rootview, GUI_NEW);
  command(gui_rootview, GUI_NEW);
  EXPECT_EQ(names(), "PROB3:4 PROB4:4 ");
  // With ten problems open, New and Open say why they do nothing.
  for (int k = 5; k <= 12; k++) command(gui_rootview, GUI_NEW);
  said();
  command(gui_rootview, GUI_NEW);
  command(gui_rootview, GUI_OPEN);
  EXPECT_EQ(said(), "ERROR: Too Many Open PDE's\nERROR: Too Many Open PDE's\n");
}

TEST_F(Windows, QuitQuestionAndCaption) {
  pde *p = problem("run.pde");
  p->phase = PHASE_SOLVE;
  pwin_headless_post(gag_views[gui_rootview - 1]->window, PWIN_CLOSE, 0, 0);
  gagscren_dispatch(0);
  EXPECT_EQ(said(), "Quendar: Quit run?\n");
  EXPECT_EQ(quendar_running * 10 + p->close, 10);  // No keeps it
  windower_root_caption(&p->name);
  EXPECT_STREQ(window(gui_rootview).caption, "run: Quendar 2.20d 3D");
  String none{};
  windower_root_caption(&none);
  EXPECT_STREQ(window(gui_rootview).caption, "Quendar 2.20d 3D");
  gui_warngrid(p, 12, 0.25);
  p->modified = 1;
  gui_check_save(p);
  EXPECT_EQ(said(),
            "GRID LIMIT: Exceeded Regrid Limit.\n12 Cells exceed errlim\nMax err is 0.25\nContinue gridding?\n"
            "Quendar: run has been modified.\nDo you want to save the changes?\n");
}

// Rows of the problem window's table: the command, the phase and flags before, and
// the phase, stop, stopped, finish and menu after.
TEST_F(Windows, ProblemWindowRows) {
  struct Row {
    int id, phase, stop, stopped;
    int phase_after, stop_after, stopped_after, skip_after;
    const char *menu;  // the menu the problem window carries after
  } rows[] = {
      {GUI_MODIFY, 2, 1, 1, 2, 1, 1, 0, "HaltedMenu"},     // already editing: nothing
      {GUI_MODIFY, 10, 1, 1, 2, 0, 0, 0, "HaltedMenu"},    // to the editor
      {GUI_CONTINUE, 10, 1, 1, 10, 1, 1, 0, "HaltedMenu"}, // done: nothing
      {GUI_CONTINUE, 7, 1, 1, 7, 0, 0, 0, "RunningMenu"},
      {GUI_STOP, 7, 0, 0, 7, 1, 0, 0, "HaltedMenu"},
      {GUI_FINISH, 7, 0, 0, 7, 0, 0, 1, "HaltedMenu"},
  };
  pde *p = problem("rows.pde");
  p->desctext = textin_create_text_1(&p->name, 0, &quendar_skeleton);
  String halted = {10, 0, const_cast<char *>("HaltedMenu")};
  for (const Row &r : rows) {
    p->phase = r.phase, p->stop = uint8_t(r.stop), p->stopped = uint8_t(r.stopped), p->skipstages = 0;
    gag_setmenu_1(p->pdeview, &halted);
    command(p->pdeview, r.id);
    String want = {uint16_t(strlen(r.menu)), 0, const_cast<char *>(r.menu)};
    EXPECT_EQ((std::vector<int>{p->phase, p->stop, p->stopped, p->skipstages, int(window(p->pdeview).menu)}),
              (std::vector<int>{r.phase_after, r.stop_after, r.stopped_after, r.skip_after,
                                int(gagscren_findmenu(&want))}))
        << r.id << " in phase " << r.phase;
  }
}

TEST_F(Windows, PlotWindowMenuBarAndExportName) {
  pde *p = problem("exp.pde");
  uint16_t w = p->domainview;
  const std::pair<int, bool> sizes[] = {{300, true}, {279, false}, {300, false}, {321, true}};
  for (auto [h, bar] : sizes) {
    window_func(w, msg_size, 640, h);
    EXPECT_EQ(window(w).menu != 0, bar) << h;
  }
  // The domain menu's Run and Edit leave the domain display, meshing after it or not.
  for (auto [id, goon] : {std::pair{GUI_DOMAIN_RUN, 1}, {GUI_DOMAIN_EDIT, 0}}) {
    p->domainonly = 1;
    command(w, id);
    EXPECT_EQ(p->domainonly * 10 + p->goon, goon) << id;
  }
  for (uint8_t classic : {0, 1}) {
    p->metafile = classic;
    pwin_script_file("");  // the proposal is taken
    command(w, GUI_EXPORT);
    EXPECT_EQ(access(path(classic ? "exp00.WMF" : "exp00.EMF").c_str(), F_OK), 0) << int(classic);
  }
}

TEST_F(Windows, SaveAsFallsBackWhenTheFolderIsReadOnly) {
  pde *p = problem("save.pde");
  String out{};
  pwin_script_file("");
  ASSERT_TRUE(saveasname(&out, p, p->pdeview));
  EXPECT_EQ(std::string(out.text), "save.pde");
  EXPECT_EQ(p->fallback.length, 0);
  // A current folder that is gone counts as read-only: the temporary folder is
  // proposed and becomes the fallback; a fallback already chosen is kept.
  std::string gone = path("gone"), temp = path("temp"), other = path("other");
  mkdir(gone.c_str(), 0755), mkdir(temp.c_str(), 0755), mkdir(other.c_str(), 0755);
  for (const char *tmpdir : {temp.c_str(), other.c_str()}) {
    setenv("TMPDIR", tmpdir, 1);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    rmdir(gone.c_str());
    pwin_script_file("");
    ASSERT_TRUE(saveasname(&out, p, p->pdeview));
    EXPECT_EQ(std::string(p->fallback.text), temp + "/");
    char here[4096];
    EXPECT_EQ(std::string(getcwd(here, sizeof here)), temp);
    mkdir(gone.c_str(), 0755);
  }
  unsetenv("TMPDIR");
  strings_free_0(&out);
}

// ---- Editor ---------------------------------------------------------------------------------

TEST_F(Windows, EditorSavesRunsAndClosesWhatWasTyped) {
  spit(path("ed.pde"), "TITLE 'a'\nEND\n");
  pde *p = problem("ed.pde");
  std::string file = path("ed.pde");
  String name = {uint16_t(file.size()), 0, file.data()};
  p->desctext = textin_open_text(&name, 0);
  gui_edit_pde(p);
  ASSERT_EQ(p->phase, 2);
  EXPECT_EQ(std::string(pwin->edit_get(gag_views[p->editview - 1]->window)), "TITLE 'a'\nEND\n");
  EXPECT_STREQ(window(p->editview).caption, "ed.pde");
  pwin_handle e = gag_views[p->editview - 1]->window;
  // A last line without a line break is saved.
  pwin->edit_set(e, "TITLE 'b'\nEND");
  command(p->editview, GUI_EDIT_SAVE);
  EXPECT_EQ(slurp(path("ed.pde")), "TITLE 'b'\r\nEND\r\n");  // text files keep CR LF
  // Run twice, the edits made before the first: still modified after the second.
  pwin->edit_set(e, "TITLE 'c'\nEND\n");
  command(p->editview, GUI_EDIT_RUN);
  EXPECT_EQ(p->phase * 10 + p->modified, 31);
  EXPECT_EQ(slurp(path("run_temp.pde")), "TITLE 'c'\r\nEND\r\n");
  gui_edit_pde(p);
  command(p->editview, GUI_EDIT_RUN);
  EXPECT_EQ(p->modified, 1);
  // Closing the editor reads it back first, so that Modify shows what was typed.
  gui_edit_pde(p);
  p->modified = 0;
  pwin->edit_set(e, "TITLE 'd'\nEND\n");
  pwin_headless_post(e, PWIN_CLOSE, 0, 0);
  gagscren_dispatch(0);
  EXPECT_EQ(p->phase * 10 + p->modified, 101);
  command(p->pdeview, GUI_MODIFY);
  EXPECT_EQ(std::string(pwin->edit_get(e)), "TITLE 'd'\nEND\n");
}

TEST_F(Windows, EditorTakesThirtyThousandCharacters) {
  pde *p = problem("long.pde");
  StringList lines{};
  String line{};
  strings_copyto_1(&line, std::string(98, 'x').c_str());
  for (int k = 0; k < 300; k++) strings_one_more(&lines, &line);  // 300 x (98 + 2) = 30000
  p->desctext = textin_create_text_1(&p->name, 0, &lines);
  gui_edit_pde(p);
  EXPECT_EQ(p->phase * 10 + p->error, 20);
  strings_addto_1(&textin_text_body(p->desctext)->items[0], "x");
  p->phase = 10;
  gui_edit_pde(p);
  EXPECT_EQ(p->error, 1);
  EXPECT_EQ(said(), "ERROR: File Too Long To Edit\n");
  strings_free_0(&line);
  strings_free_1(&lines, 1);
}

// The word before an error position is selected: back over blanks, back to a letter
// or digit, back over letters and digits. The edit control's offsets count every line
// break as two characters, as the text it hands back does.
TEST_F(Windows, ErrorPositionSelectsTheWordBeforeIt) {
  pde *p = problem("sel.pde");
  StringList lines{};
  for (const char *l : {"TITLE 'a'", "VARIABLES", "  u v"}) {
    String s = {uint16_t(strlen(l)), 0, const_cast<char *>(l)};
    strings_one_more(&lines, &s);
  }
  uint16_t text = textin_create_text_1(&p->name, 0, &lines);
  struct Case {
    uint32_t line;
    uint16_t column;
    int from, to;
  } cases[] = {{3, 5, 26, 27}, {3, 4, 24, 25}, {2, 0, 7, 9}, {1, 0, 0, 0}};
  for (const Case &c : cases) {
    TextLoc at{text, c.column, c.line};
    ASSERT_TRUE(textman_send_edit_text_1(text, p->editview, &at));
    pwin_window_state s = window(p->editview);
    EXPECT_EQ((std::vector<int>{s.selection[0], s.selection[1]}), (std::vector<int>{c.from, c.to}))
        << c.line << ":" << c.column;
  }
  textin_close_text(text);
  strings_free_1(&lines, 1);
}

// Print All of an eigenvalue problem: every visible mode window of every plot, then
// the eigenvalue window once, as the last page.
TEST_F(Windows, PrintAllPrintsTheEigenvalueWindowOnce) {
  if (system("command -v pdfinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs poppler-utils";
  pde *p = problem("eig.pde");
  p->eigen = 1, p->modes = 2;
  plots(p, 2);
  windower_enable_plots(p, p, p, p->modes);
  std::string pdf = path("all.pdf");
  pwin_script_file(pdf.c_str());
  command(p->pdeview, GUI_PRINTALL);
  EXPECT_EQ(run("pdfinfo " + pdf + " | grep Pages"), "Pages: 5");  // 2 plots x 2 modes + 1
}

// Closing the plots kills the window of every record, listed as a plot or not, and
// forgets show requests for them.
TEST_F(Windows, ClosingPlotsLeavesNoWindow) {
  pde *p = problem("close.pde");
  plots(p, 1);
  plot_one_more_1(&p->plotrecs);  // a history: in no list that is tiled
  gui_close_plots(p);
  gui_build_windows(p);
  uint16_t history = p->plotrecs.data[1].views[0];
  p->iconized = 1;
  windower_enable_plots(p, p, p, p->modes);
  ASSERT_TRUE(checkview(history) && p->deferred.count == 1);
  gui_close_plots(p);
  EXPECT_FALSE(checkview(history));
  EXPECT_EQ(p->deferred.count, 0);
}
