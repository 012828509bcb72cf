// Problem records, error reports, status layouts and the plot-group header.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "control/pdedat.h"
#include "control/control.h"
#include "control/verdat.h"
#include "model/symtab.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/filio.h"
#include "runtime/textin.h"
#include "runtime/timefun.h"
#include "runtime/vector2d.h"
#include "tests/control/doubles.h"
#include "tests/control/fixture.h"
#include "tests/runtime/harness.h"

namespace {

String text(const char *c) {
  String s{};
  strings_copyto_1(&s, c);
  return s;
}

// Opens a problem for the path and frees the path text.
pde *open(const char *path) {
  String s = text(path);
  pde *p = pdedat_new_pde(&s);
  strings_free_0(&s);
  return p;
}

std::string read_file(FILE *f) {
  fflush(f);
  rewind(f);
  return slurp_stream(f);
}

// Replaces the time of every " time| " prefix by T, so that a transcript compares
// byte for byte whatever the clock says; also returns the times seen.
std::string mask_times(const std::string &s, std::vector<std::string> *times = nullptr) {
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    size_t bar = s.find("| ", i);
    size_t start = bar;
    while (start != std::string::npos && start > i && (isdigit((unsigned char)s[start - 1]) || s[start - 1] == ':'))
      start--;
    if (bar == std::string::npos || start == bar || start == 0 || s[start - 1] != ' ') {
      out += s.substr(i, bar == std::string::npos ? std::string::npos : bar + 2 - i);
      if (bar == std::string::npos) break;
      i = bar + 2;
      continue;
    }
    if (times) times->push_back(s.substr(start, bar - start));
    out += s.substr(i, start - i) + "T| ";
    i = bar + 2;
  }
  return out;
}

using Records = ControlFixture;

TEST_F(Records, TenSlotsReusedAndAnEleventhRefused) {
  pde *slots[11] = {};
  for (int k = 1; k <= 10; k++) {
    slots[k] = open(("/runs/p" + std::to_string(k) + ".pde").c_str());
    ASSERT_NE(slots[k], nullptr);
    EXPECT_EQ(slots[k], pdedat_table[k]);
    EXPECT_EQ(slots[k]->phase, 1);
  }
  EXPECT_EQ(pdedat_count, 10);

  pdedat_free_pde(slots[3]);
  EXPECT_EQ(slots[3]->phase, 0);
  pde *again = open("/runs/again.pde");
  EXPECT_EQ(again, slots[3]);
  EXPECT_EQ(pdedat_count, 10);
  EXPECT_STREQ(again->name.text, "again");

  // An eleventh: the message, no record, and no other record changes.
  pdedat_current = slots[5];
  shown.clear();
  int64_t xmem = XMEM;
  EXPECT_EQ(open("/runs/eleven.pde"), nullptr);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].message, "Too Many Open PDE's");
  EXPECT_EQ(pdedat_count, 10);
  EXPECT_EQ(XMEM, xmem);
  for (int k = 1; k <= 10; k++) {
    EXPECT_EQ(pdedat_table[k]->phase, 1);
    EXPECT_EQ(pdedat_table[k]->error, 0);
  }
  EXPECT_STREQ(slots[5]->name.text, "p5");
}

TEST_F(Records, NamesFromPaths) {
  pde *p = open("/data/runs/plate.pde");
  EXPECT_STREQ(p->directory.text, "/data/runs/");
  EXPECT_STREQ(p->name.text, "plate");
  EXPECT_STREQ(p->logname.text, "/data/runs/plate.log");
  ASSERT_FALSE(cwd_set.empty());
  EXPECT_EQ(cwd_set.back(), "/data/runs/");

  // Trailing blanks and no directory: the current directory.
  String s = text("heat.pde   ");
  pdedat_setpdename(p, &s);
  EXPECT_STREQ(p->directory.text, "/fake/cwd/");
  EXPECT_STREQ(p->name.text, "heat");
  EXPECT_STREQ(p->logname.text, "/fake/cwd/heat.log");

  // A relative directory is made absolute before it becomes the current one.
  strings_copyto_1(&s, "sub/dir/beam.pde");
  pdedat_setpdename(p, &s);
  EXPECT_STREQ(p->directory.text, "/fake/cwd/sub/dir/");
  EXPECT_EQ(cwd_set.back(), "/fake/cwd/sub/dir/");
  EXPECT_STREQ(p->logname.text, "/fake/cwd/sub/dir/beam.log");
  strings_free_0(&s);
}

TEST_F(Records, FreeReleasesWhatTheRecordCounted) {
  pdedat_free_pde(open("/runs/warm.pde"));  // program-wide scratch texts grow once
  int64_t before = XMEM;
  pde *p = open("/runs/a.pde");  // the slot just freed
  strings_copyto_1(&p->header, "a.pde  12:00:00 1/2/03");
  pdedat_free_pde(p);
  // The record stays allocated for its slot; everything it held is released.
  EXPECT_EQ(XMEM, before);
  EXPECT_EQ(p->mesh.domain, nullptr);
  EXPECT_EQ(p->header.text, nullptr);

  // Side tables of a tetrahedral basis, then a re-parse that reset the basis code.
  quature_init_quadrature();
  p = open("/runs/t.pde");
  int64_t opened = XMEM;
  quature_build_squad_basis(&p->squad, quature_side_choice(0, 3, 2), 9);
  ASSERT_GT(p->squad.side[3].count, 0);
  EXPECT_GT(XMEM, opened);
  p->basis = 5;
  pdedat_free_pde(p);
  EXPECT_EQ(XMEM, before);

  // Clearing releases the work pool and its vectors, keeping names and record.
  p = open("/runs/pool.pde");
  pdedat_clear_pde(p);  // the panel's line texts grow once
  int64_t sized = XMEM;
  vector2d_resize(&p->work, 0, 20);
  vector2d_get_work(&p->work, 1000);
  vector2d_free_work(vector2d_get_work(&p->work, 50));
  EXPECT_GT(XMEM, sized + 8000);
  pdedat_clear_pde(p);
  EXPECT_EQ(XMEM, sized);
  EXPECT_EQ(p->work.capacity, 0);
  EXPECT_STREQ(p->name.text, "pool");
  EXPECT_EQ(p->phase, 1);
  pdedat_free_pde(p);

  // A record that lost its phase without being freed is released when reused.
  p = open("/runs/lost.pde");
  p->phase = 0;
  int64_t held = XMEM;
  EXPECT_EQ(open("/runs/lost.pde"), p);
  EXPECT_EQ(XMEM, held);
}

// ---- Error reports ------------------------------------------------------------

const char kHome[] = "test_report";

// Runs a report under the catch harness, as the main routine does, and returns its code.
template <class F> int report(F &&f) {
  TRACE(kHome);
  HookScope hook;
  return except_catch(kHome, [&] { f(); });
}

struct TextFixture : ControlFixture {
  std::string path;
  uint16_t file = 0;
  void SetUp() override {
    ControlFixture::SetUp();
    path = tmpdir + "/desc.pde";
    FILE *f = fopen(path.c_str(), "w");
    for (int k = 1; k <= 14; k++)
      fprintf(f, k == 12 ? "  u = 1 + * 2\r\n" : "line %d\r\n", k);
    fclose(f);
    String s = text(path.c_str());
    file = textin_open_text(&s, 0);
    strings_free_0(&s);
    ASSERT_NE(file, 0);
  }
  void TearDown() override {
    textin_close_text(file);
    ControlFixture::TearDown();
  }
};

using Reports = TextFixture;

// A started problem of a batch run that reports to log.
pde *batch_problem(FILE *log) {
  pdedat_batch_log = log;
  verdat_batch = 1;
  pde *p = open("/runs/batch.pde");
  timefun_get_time(&p->starttime);
  pdedat_current = p;
  return p;
}

TEST_F(Reports, BatchParseErrorTranscript) {
  FILE *log = tmpfile();
  pde *p = batch_problem(log);
  uint8_t states[3] = {1, 1, 0};
  pdedat_batch_states = states;
  pdedat_batch_count = 3;
  pdedat_batch_index = 2;
  String m = text("MISSING OPERAND");
  TextLoc loc{file, 7, 12};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m); }), EXCEPT_REPORTED);
  std::vector<std::string> times;
  std::string out = mask_times(read_file(log), &times);
  EXPECT_EQ(out,
            " T|   u = 1 + * 2\n"
            "                 *\n"
            "           Line 12 ERROR: MISSING OPERAND\n");
  ASSERT_EQ(times.size(), 1u);
  EXPECT_TRUE(times[0] == "0:00" || times[0] == "0:01") << times[0];
  EXPECT_EQ(p->error, 1);
  EXPECT_EQ(states[1], 2);
  EXPECT_EQ(states[0], 1);
  EXPECT_EQ(p->phase, 1);  // the record survives; the after-step rules close it
  strings_free_0(&m);
  pdedat_batch_states = nullptr;
  fclose(log);
}

// A tree's report stands at the first position found under it: here its second child.
TEST_F(Reports, BatchTreeErrorAtTheFirstPositionUnderTheTree) {
  FILE *log = tmpfile();
  pde *p = batch_problem(log);
  TreeNode *t = trees_new_0(op::mulop);
  t->child[0] = trees_new_0(op::xcoord);
  TextLoc at{file, 7, 12};
  t->child[1] = trees_new_real_1(2, &at);
  String m = text("MISSING OPERAND");
  EXPECT_EQ(report([&] { pdedat_parse_err_1(p, t, &m); }), EXCEPT_REPORTED);
  EXPECT_EQ(mask_times(read_file(log)),
            " T|   u = 1 + * 2\n"
            "                 *\n"
            "           Line 12 ERROR: MISSING OPERAND\n");
  EXPECT_EQ(t->loc.line, 12u);
  trees_free_0(t);
  strings_free_0(&m);
  fclose(log);
}

TEST_F(Reports, BatchExecutionErrorAndMessages) {
  FILE *log = tmpfile();
  pdedat_batch_log = log;
  verdat_batch = 1;
  pde *p = open("/runs/batch.pde");
  pdedat_current = p;
  String m = text("VARIABLE COUNT ERROR"), c = text("HALT");
  // Before its run starts (a failed load) the problem has no start time: clock time.
  pdedat_error_message(0, &m, &c);
  timefun_get_time(&p->starttime);
  p->error = 0;
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m); }), EXCEPT_REPORTED);
  p->error = 0;
  pdedat_error_message(0, &m, &c);
  EXPECT_EQ(p->error, 1);
  p->error = 0;
  EXPECT_EQ(pdedat_yesno_message(0, &m, &c), 0);
  EXPECT_EQ(p->error, 1);
  std::vector<std::string> times;
  std::string out = mask_times(read_file(log), &times);
  EXPECT_EQ(out,
            " T|  HALT: VARIABLE COUNT ERROR\n"
            " T| ERROR: VARIABLE COUNT ERROR\n"
            " T|  HALT: VARIABLE COUNT ERROR\n"
            " T|  HALT: VARIABLE COUNT ERROR\n");
  ASSERT_EQ(times.size(), 4u);
  EXPECT_EQ(times[0].size(), 8u);  // hh:mm:ss clock time
  EXPECT_EQ(times[1].size(), 4u);  // m:ss under one hour
  EXPECT_TRUE(shown.empty());  // no message box in a batch run
  strings_free_0(&m);
  strings_free_0(&c);
  fclose(log);
}

TEST_F(Reports, InteractiveParseErrorGoesToTheEditor) {
  pde *p = open("/runs/i.pde");
  p->editview = 7;
  p->pdeview = 6;
  pdedat_current = p;
  String m = text("UNDEFINED NAME");
  TextLoc loc{file, 3, 5};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m); }), EXCEPT_REPORTED);
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(edits[0].text, file);
  EXPECT_EQ(edits[0].view, 7);
  EXPECT_EQ(edits[0].loc.line, 5u);
  EXPECT_EQ(edits[0].loc.column, 3);
  EXPECT_EQ(p->phase, 2);
  EXPECT_EQ(p->edittext, file);
  EXPECT_EQ(p->error, 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].view, 7);
  EXPECT_EQ(shown[0].message, "UNDEFINED NAME");
  EXPECT_EQ(shown[0].caption, "ERROR");

  // An execution error puts the descriptor text in the editor, caret at its start.
  p->desctext = file;
  p->phase = 7;
  shown.clear();
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m); }), EXCEPT_REPORTED);
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[1].loc.line, 1u);
  EXPECT_EQ(edits[1].loc.column, 1);
  EXPECT_EQ(p->phase, 2);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].view, 7);
  strings_free_0(&m);
}

TEST_F(Reports, EditorThatCannotTakeTheTextClosesTheProblemWithoutAFatalError) {
  pde *p = open("/runs/i.pde");
  p->pdeview = 6;
  p->editview = 7;
  pdedat_current = p;
  editor_takes = false;
  long mark = debug_mark();
  String m = text("BAD SYNTAX");
  TextLoc loc{file, 2, 4};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m); }), EXCEPT_REPORTED);
  EXPECT_EQ(rtlib_latch(), 0);
  EXPECT_NE(debug_since(mark).find("FAILED EDITING FILE " + std::to_string(file) + ", LINE 4 COL 2\n"),
            std::string::npos);
  EXPECT_EQ(p->error, 1);
  EXPECT_EQ(p->phase, 1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].view, 6);
  EXPECT_EQ(shown[0].caption, "ERROR");
  p->desctext = 9;
  EXPECT_EQ(report([&] { pdedat_exec_err_0(p, &m); }), EXCEPT_REPORTED);
  EXPECT_EQ(rtlib_latch(), 0);
  EXPECT_NE(debug_since(mark).find("FAILED EDITING FILE 9\n"), std::string::npos);
  strings_free_0(&m);
}

TEST_F(Reports, NoCurrentProblemOnlyShowsTheMessage) {
  String m = text("LOST");
  pdedat_current = nullptr;
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m); }), EXCEPT_REPORTED);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].message, "LOST");
  EXPECT_TRUE(edits.empty());

  // A freed current problem is not touched either.
  pde *p = open("/runs/gone.pde");
  pdedat_free_pde(p);
  pdedat_current = p;
  TextLoc loc{file, 1, 1};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m); }), EXCEPT_REPORTED);
  EXPECT_EQ(p->phase, 0);
  EXPECT_EQ(p->error, 0);
  EXPECT_TRUE(edits.empty());

  // Batch: the line goes to the batch log, nothing is marked.
  FILE *log = tmpfile();
  pdedat_batch_log = log;
  verdat_batch = 1;
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m); }), EXCEPT_REPORTED);
  std::vector<std::string> times;
  std::string out = mask_times(read_file(log), &times);
  EXPECT_EQ(out, " T|  ERROR: LOST\n");
  ASSERT_EQ(times.size(), 1u);
  EXPECT_EQ(times[0].size(), 8u);  // the clock time hh:mm:ss
  EXPECT_EQ(p->error, 0);
  fclose(log);
  strings_free_0(&m);
}

TEST_F(Reports, ClearAndFreeNestingSurvivesAJump) {
  pde *p = open("/runs/n.pde");
  pdedat_current = p;
  // An error reported from inside the clear jumps out of it.
  on_report = [] {
    String m{4, 4, const_cast<char *>("DEEP")};
    pdedat_exec_err_1(&m);
  };
  p->desctext = 1;
  EXPECT_EQ(report([&] { pdedat_clear_pde(p); }), EXCEPT_REPORTED);
  on_report = nullptr;
  // The counter is back: the next clear runs its body (the panel line comes and goes).
  long mark = debug_mark();
  pdedat_clear_pde(p);
  EXPECT_EQ(debug_since(mark).find("RECURSIVE CLEAR_PDE"), std::string::npos);
  EXPECT_EQ(p->status.last, 0);

  // A recursive clear only says so in the debug log, with a traceback.
  int inner = 0;
  on_report = [&] {
    if (inner++ == 0) pdedat_clear_pde(p);
  };
  pdedat_clear_pde(p);
  on_report = nullptr;
  std::string log = debug_since(mark);
  EXPECT_NE(log.find("RECURSIVE CLEAR_PDE\n"), std::string::npos) << log;
  EXPECT_NE(log.find("pdedat_clear_pde_0"), std::string::npos) << log;

  // A free that jumps out of its clear: the next free still frees.
  on_report = [] {
    String m{4, 4, const_cast<char *>("DEEP")};
    pdedat_exec_err_1(&m);
  };
  p->phase = 7;
  EXPECT_EQ(report([&] { pdedat_free_pde(p); }), EXCEPT_REPORTED);
  on_report = nullptr;
  pdedat_free_pde(p);
  EXPECT_EQ(p->phase, 0);
}

// ---- Status panel ---------------------------------------------------------------

TEST_F(Records, NamesAreFoundInTheInnermostScopeAndFreedWithTheRecord) {
  pde *p = open("/runs/scopes.pde");
  pdedat_clear_pde(p);  // the status panel's texts grow once
  int64_t before = XMEM;
  symtab_resize(&p->scopes, 2, 10);
  struct { int scope; const char *name; uint16_t index; } names[] = {
      {1, "ERRLIM", 3}, {1, "U", 1}, {2, "ERRLIM", 7}};
  for (auto &n : names) {
    String s = text(n.name);
    idrec *r = symtab_enterid(&p->scopes.roots[n.scope - 1], symtab_newidrec(&s, strings_hashfn_0(&s)));
    r->index = n.index;
    strings_free_0(&s);
  }
  struct { const char *name; uint16_t index; } finds[] = {{"ERRLIM", 7}, {"U", 1}, {"V", 0}};
  for (auto &f : finds) {
    String s = text(f.name);
    EXPECT_EQ(find_magic(p, &s), f.index) << f.name;
    strings_free_0(&s);
  }
  pdedat_clear_pde(p);
  EXPECT_EQ(XMEM, before);
  EXPECT_EQ(p->scopes.capacity, 0);
}

TEST_F(Records, StatusLayouts) {
  pde *p = open("/runs/s.pde");
  timefun_get_time(&p->starttime);
  p->mesh.nodes.count = 120;
  p->mesh.cells.count = 50;
  p->nvars = 3;
  p->regrids = 2;
  p->cycle = 17;
  p->stage = 2;
  auto labels = [&] {
    std::vector<std::string> out;
    for (const std::string &l : panel_lines(&p->status)) out.push_back(l.substr(0, l.find('=')));
    return out;
  };
  using V = std::vector<std::string>;
  pdedat_do_status(p, 1);
  EXPECT_EQ(labels(), (V{"s", "0:00", "GRID", "NODES", "CELLS", "DoF", "MEM(K)", "RMS Error", "MAX Error"}));
  std::vector<std::string> lines = panel_lines(&p->status);
  EXPECT_EQ(lines[2], "GRID=2");
  EXPECT_EQ(lines[3], "NODES=120");
  EXPECT_EQ(lines[4], "CELLS=50");
  EXPECT_EQ(lines[5], "DoF=360");
  p->stages = 3;
  pdedat_do_status(p, 1);
  EXPECT_EQ(labels()[2], "STAGE");
  EXPECT_EQ(panel_lines(&p->status)[2], "STAGE=2");
  pdedat_do_status(p, 2);
  EXPECT_EQ(labels(), (V{"s", "0:00", "CYCLE", "NODES", "CELLS", "DoF", "MEM(K)", "RMS Error",
                         "MAX Error", "TIME", "DT"}));
  pdedat_do_status(p, 3);
  EXPECT_EQ(labels(), (V{"s", "0:00", "GRID", "NODES", "CELLS", "DoF", "MEM(K)", "RMS Error", "MAX Error"}));
  pdedat_do_status(p, 4);  // no such layout: unchanged
  EXPECT_EQ(labels().size(), 9u);
}

// ---- Plot-group header, read back by python3's struct module -----------------

TEST_F(Records, PlotGroupHeaderReadBackIndependently) {
  pde *p = open("/runs/g.pde");
  p->mesh.nodes.count = 70000;
  p->mesh.cells.count = 34567;
  p->rmserr = 1.25e-3;
  p->time = 0.5;
  p->cycle = 65536 + 42;  // the file keeps 16 bits
  p->stages = 4;
  p->stage = 3;
  p->regrids = 5;
  std::string path = tmpdir + "/g.pgx";
  filio_open_put(&p->plotfile, 4096, path.c_str());
  pdedat_put_group(p, 9);
  p->stages = 0;  // no stages: the stage field is 0
  pdedat_put_group(p, 65535);
  filio_close_put(&p->plotfile);
  std::string cmd = "python3 -c \"import struct,sys; d=open(sys.argv[1],'rb').read(); "
                    "print(len(d)); [print(*struct.unpack_from('<IIddHHHH', d, o)) for o in (0, 32)]\" " +
                    path;
  EXPECT_EQ(run(cmd), "64 70000 34567 0.00125 0.5 42 3 5 9 70000 34567 0.00125 0.5 42 0 5 65535");
}

}  // namespace
