// Problem records, error reports, status layouts and the plot-group header.
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/filio.h"
#include "runtime/rtlib.h"
#include "runtime/vector2d.h"
#include "tests/control/doubles.h"
#include "tests/runtime/harness.h"

#include <regex>

namespace {

using Text = OwnedString;

using Records = RunFixture;

TEST_F(Records, TenSlotsReusedAndAnEleventhRefused) {
  pde *slots[11] = {};
  for (int k = 1; k <= 10; k++) {
    slots[k] = open_problem("/runs/p" + std::to_string(k) + ".pde");
    ASSERT_EQ(slots[k], pdedat_table[k]);
    EXPECT_EQ(slots[k]->phase, 1);
  }
  pdedat_free_pde(slots[3]);
  EXPECT_EQ(open_problem("/runs/again.pde"), slots[3]);
  EXPECT_EQ(pdedat_count, 10);
  EXPECT_STREQ(slots[3]->name.text, "again");
  // An eleventh: the message, no record, and no other record changes.
  report_current = slots[5];
  int64_t xmem = XMEM;
  EXPECT_EQ(open_problem("/runs/eleven.pde"), nullptr);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].message, "Too Many Open PDE's");
  EXPECT_EQ(XMEM, xmem);
  for (int k = 1; k <= 10; k++) EXPECT_EQ(pdedat_table[k]->phase * 10 + pdedat_table[k]->error, 10);
}

TEST_F(Records, NamesFromPaths) {
  const struct {
    const char *path, *dir, *name;
  } cases[] = {
      {"/data/runs/plate.pde", "/data/runs/", "plate"},
      {"heat.pde   ", "/fake/cwd/", "heat"},  // trailing blanks, no directory: the current one
      {"sub/dir/beam.pde", "/fake/cwd/sub/dir/", "beam"},  // relative: made absolute first
  };
  pde *p = open_problem("/x.pde");
  for (const auto &c : cases) {
    Text t(c.path);
    pdedat_setpdename(p, &t.s);
    EXPECT_EQ(std::string(p->directory.text) + "|" + p->name.text + "|" + p->logname.text + "|" + cwd_set.back(),
              std::string(c.dir) + "|" + c.name + "|" + c.dir + c.name + ".log|" + c.dir);
  }
}

TEST_F(Records, FreeReleasesWhatTheRecordCounted) {
  pdedat_free_pde(open_problem("/runs/warm.pde"));  // program-wide scratch texts grow once
  int64_t before = XMEM;
  pde *p = open_problem("/runs/a.pde");  // the slot just freed
  strings_copyto_1(&p->header, "a.pde  12:00:00 1/2/03");
  quature_build_squad_basis(&p->squad, quature_side_choice(0, 3, 2), 9);  // tetrahedral side tables
  p->basis = 5;  // a re-parse reset the basis code
  pdedat_free_pde(p);
  EXPECT_EQ(XMEM, before);
  EXPECT_EQ(p->mesh.domain, nullptr);

  // Clearing releases the work pool and its vectors, keeping names and record.
  p = open_problem("/runs/pool.pde");
  pdedat_clear_pde(p);  // the panel's line texts grow once
  int64_t sized = XMEM;
  vector2d_resize(&p->work, 0, 20);
  vector2d_get_work(&p->work, 1000);
  EXPECT_GT(XMEM, sized + 8000);
  pdedat_clear_pde(p);
  EXPECT_EQ(XMEM, sized);
  EXPECT_EQ(std::string(p->name.text) + std::to_string(p->phase), "pool1");

  // A record that lost its phase without being freed is released when reused.
  p = open_problem("/runs/lost.pde");
  p->phase = 0;
  int64_t held = XMEM;
  EXPECT_EQ(open_problem("/runs/lost.pde"), p);
  EXPECT_EQ(XMEM, held);
}

// ---- Error reports ------------------------------------------------------------

const char kHome[] = "test_report";

// Runs a report under the catch harness, as the main routine does; returns its code.
template <class F> int report(F &&f) {
  TRACE(kHome);
  int code = except_catch(kHome, [&] { f(); });
  if (code == EXCEPT_FATAL) except_catch(kHome, [] { except_jump(EXCEPT_REPORTED); });
  return code;
}

// A descriptor text of 14 lines, line 12 with a syntax error.
struct Reports : RunFixture {
  uint16_t file = 0;
  FILE *batchlog = nullptr;
  void SetUp() override {
    RunFixture::SetUp();
    std::string text;
    for (int k = 1; k <= 14; k++) text += k == 12 ? "  u = 1 + * 2\r\n" : "line " + std::to_string(k) + "\r\n";
    spit(path("desc.pde"), text);
    Text s(path("desc.pde").c_str());
    file = textin_open_text(&s.s, 0);
    ASSERT_NE(file, 0);
  }
  void TearDown() override {
    textin_close_text(file);
    RunFixture::TearDown();
  }
  pde *current(const char *name) {
    pde *p = open_problem(name);
    p->pdeview = 6, p->editview = 7;
    return report_current = p;
  }
  void batch() {
    settings.batch = 1;
    settings.batchlog = batchlog = tmpfile();
  }
  // The batch log with the times of its prefixes replaced by T; the times in order.
  std::string batch_text(std::vector<std::string> *times) {
    fflush(batchlog);
    rewind(batchlog);
    std::string s = slurp_stream(batchlog), out;
    std::regex prefix("(^|\n) ([0-9:]+)\\| ");
    for (std::sregex_iterator i(s.begin(), s.end(), prefix), e; i != e; ++i) times->push_back((*i)[2]);
    return std::regex_replace(s, prefix, "$1 T| ");
  }
};

TEST_F(Reports, BatchTranscripts) {
  batch();
  pde *p = current("/runs/batch.pde");
  uint8_t states[3] = {1, 1, 0};
  pdedat_batch_states = states;
  pdedat_batch_count = 3;
  pdedat_batch_index = 2;
  Text m("MISSING OPERAND"), c("HALT");
  // Before its run starts (a failed load) the problem has no start time: clock time.
  pdedat_error_message(0, &m.s, &c.s);
  timefun_get_time(&p->starttime);
  TextLoc loc{file, 7, 12};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m.s); }), EXCEPT_REPORTED);
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m.s); }), EXCEPT_REPORTED);
  p->error = 0;
  EXPECT_EQ(pdedat_yesno_message(0, &m.s, &c.s), 0);
  // The record survives (the after-step rules close it), marked in error.
  EXPECT_EQ((std::vector<int>{p->error, p->phase, states[0], states[1]}), (std::vector<int>{1, 1, 1, 2}));
  std::vector<std::string> times;
  EXPECT_EQ(batch_text(&times),
            " T|  HALT: MISSING OPERAND\n"
            " T|   u = 1 + * 2\n             *\n           Line 12 ERROR: MISSING OPERAND\n"
            " T| ERROR: MISSING OPERAND\n"
            " T|  HALT: MISSING OPERAND\n");
  ASSERT_EQ(times.size(), 4u);
  EXPECT_EQ(times[0].size() * 10 + times[1].size(), 84u);  // hh:mm:ss clock time, then m:ss under one hour
  EXPECT_TRUE(shown.empty()) << "no message box in a batch run";
  pdedat_batch_states = nullptr;
}

// A mesh check's question answered No in the batch log ends in the check's stop, whose
// message the question already wrote: the log holds it once.
TEST_F(Reports, QuestionAnsweredNoIsWrittenOnce) {
  batch();
  pde *p = current("/runs/batch.pde");
  timefun_get_time(&p->starttime);
  Text q("Inconsistent BDID at (1,0)!\nTerminating. Continue?"), c("ERROR");
  Text m("Inconsistent BDID at (1,0)!\nTerminating. IN trapbdid_0"), other("MEMORY OVERFLOW");
  EXPECT_EQ(pdedat_yesno_message(0, &q.s, &c.s), 0);
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m.s); }), EXCEPT_REPORTED);
  // Another error after it is written as ever.
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&other.s); }), EXCEPT_REPORTED);
  std::vector<std::string> times;
  EXPECT_EQ(batch_text(&times),
            " T|  ERROR: Inconsistent BDID at (1,0)!\nTerminating. Continue?\n T| ERROR: MEMORY OVERFLOW\n");
}

// A tree's report stands at the first position found under it: here its second child.
TEST_F(Reports, TreeErrorStandsAtTheFirstPositionUnderTheTree) {
  batch();
  pde *p = current("/runs/batch.pde");
  timefun_get_time(&p->starttime);
  TreeNode *t = trees_new_0(op::mulop);
  t->child[0] = trees_new_0(op::xcoord);
  TextLoc at{file, 7, 12};
  t->child[1] = trees_new_real_1(2, &at);
  Text m("MISSING OPERAND");
  EXPECT_EQ(report([&] { pdedat_parse_err_1(p, t, &m.s); }), EXCEPT_REPORTED);
  std::vector<std::string> times;
  // The star under column 7 of the line: 13 blanks, the time prefix " 0:00| " counted.
  EXPECT_EQ(batch_text(&times), " T|   u = 1 + * 2\n             *\n           Line 12 ERROR: MISSING OPERAND\n");
  trees_free_0(t);
}

// A warning is listed like an error but leaves the problem running: no error flag, no
// failed batch entry, no jump; interactively a box captioned "Warning" with its line.
TEST_F(Reports, WarningsLeaveTheProblemRunning) {
  batch();
  pde *p = current("/runs/batch.pde");
  uint8_t states[1] = {1};
  pdedat_batch_states = states;
  pdedat_batch_count = pdedat_batch_index = 1;
  timefun_get_time(&p->starttime);
  Text m("CDF on Surface not yet implemented.");
  TextLoc loc{file, 6, 12};
  EXPECT_EQ(report([&] { pdedat_parse_warning(p, &loc, &m.s); }), 0);
  std::vector<std::string> times;
  EXPECT_EQ(batch_text(&times),
            " T|   u = 1 + * 2\n            *\n           Line 12 WARNING: CDF on Surface not yet implemented.\n");
  EXPECT_EQ(p->error * 10 + states[0], 1);
  pdedat_batch_states = nullptr;
  settings.batch = 0;
  EXPECT_EQ(report([&] { pdedat_parse_warning(p, &loc, &m.s); }), 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(std::to_string(shown[0].view) + "|" + shown[0].message + "|" + shown[0].caption,
            "6|Line 12: CDF on Surface not yet implemented.|Warning");
  EXPECT_TRUE(edits.empty());
}

TEST_F(Reports, InteractiveErrorsGoToTheEditor) {
  pde *p = current("/runs/i.pde");
  Text m("UNDEFINED NAME");
  TextLoc loc{file, 3, 5};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m.s); }), EXCEPT_REPORTED);
  // An execution error puts the descriptor text in the editor, caret at its start.
  p->desctext = file;
  p->phase = 7;
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m.s); }), EXCEPT_REPORTED);
  ASSERT_EQ(edits.size(), 2u);
  EXPECT_EQ(edits[0].file * 1000 + edits[0].line * 10 + edits[0].column, file * 1000 + 53);
  EXPECT_EQ(edits[1].line * 10 + edits[1].column, 11u);
  EXPECT_EQ((std::vector<int>{p->phase, p->edittext, p->error}), (std::vector<int>{2, file, 0}));
  ASSERT_EQ(shown.size(), 2u);
  for (const Shown &s : shown) EXPECT_EQ(std::to_string(s.view) + s.message + s.caption, "7UNDEFINED NAMEERROR");
}

TEST_F(Reports, EditorThatCannotTakeTheTextClosesTheProblemWithoutAFatalError) {
  pde *p = current("/runs/i.pde");
  editor_takes = false;
  long mark = debug_mark();
  Text m("BAD SYNTAX");
  TextLoc loc{file, 2, 4};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m.s); }), EXCEPT_REPORTED);
  p->desctext = 9;
  EXPECT_EQ(report([&] { pdedat_exec_err_0(p, &m.s); }), EXCEPT_REPORTED);
  EXPECT_EQ(rtlib_latch(), 0);
  std::string log = debug_since(mark);
  EXPECT_NE(log.find("FAILED EDITING FILE " + std::to_string(file) + ", LINE 4 COL 2\n"), std::string::npos);
  EXPECT_NE(log.find("FAILED EDITING FILE 9\n"), std::string::npos);
  EXPECT_EQ(p->error * 10 + p->phase, 11);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown[0].view, 6);
}

TEST_F(Reports, NoCurrentProblemOnlyShowsTheMessage) {
  Text m("LOST");
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m.s); }), EXCEPT_REPORTED);
  // A freed current problem is not touched either.
  pde *p = open_problem("/runs/gone.pde");
  pdedat_free_pde(p);
  report_current = p;
  TextLoc loc{file, 1, 1};
  EXPECT_EQ(report([&] { pdedat_parse_err_0(p, &loc, &m.s); }), EXCEPT_REPORTED);
  EXPECT_EQ(p->phase + p->error, 0);
  EXPECT_TRUE(edits.empty());
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].message, "LOST");
  // Batch: the line goes to the batch log with the clock time, nothing is marked.
  batch();
  EXPECT_EQ(report([&] { pdedat_exec_err_1(&m.s); }), EXCEPT_REPORTED);
  std::vector<std::string> times;
  EXPECT_EQ(batch_text(&times), " T|  ERROR: LOST\n");
  EXPECT_EQ(times.at(0).size(), 8u);
  EXPECT_EQ(p->error, 0);
}

#ifndef QUENDAR_SANITIZE
TEST_F(Reports, FreeThatJumpsOutOfItsClearCanRunAgain) {
  pde *p = open_problem("/runs/n.pde");
  report_current = p;
  // A work pool over a wild pointer: the clear faults, and the fault jumps out.
  p->work = {1, 1, reinterpret_cast<vectord *>(16)};
  EXPECT_EQ(report([&] { pdedat_free_pde(p); }), EXCEPT_FATAL);
  p->work = {};
  long mark = debug_mark();
  pdedat_free_pde(p);
  EXPECT_EQ(p->phase, 0) << "the free ran";
  EXPECT_EQ(debug_since(mark).find("RECURSIVE CLEAR_PDE"), std::string::npos) << "the clear ran";
}
#endif

// ---- Status panel and plot-group header -------------------------------------------

TEST_F(Records, StatusLayouts) {
  pde *p = open_problem("/runs/s.pde");
  display_initpad(&p->status, 26, 0);
  timefun_get_time(&p->starttime);
  p->mesh.nodes.count = 120, p->mesh.cells.count = 50, p->nvars = 3, p->regrids = 2, p->stage = 2;
  // The elapsed-time line reads whole seconds since the start: a second boundary between the
  // start and a status line makes it 0:01, which says nothing of the layout.
  auto labels = [&] {
    std::string out;
    for (const std::string &l : panel_lines(&p->status)) {
      std::string label = l.substr(0, l.find('='));
      out += (std::regex_match(label, std::regex("[0-9]+:[0-9][0-9]")) ? "0:00" : label) + ",";
    }
    return out;
  };
  const char *mesh = "NODES,CELLS,DoF,MEM(K),RMS Error,MAX Error,";
  pdedat_do_status(p, 1);
  EXPECT_EQ(labels(), std::string("s,0:00,GRID,") + mesh);
  std::vector<std::string> lines = panel_lines(&p->status);
  EXPECT_EQ(lines[2] + lines[3] + lines[4] + lines[5], "GRID=2NODES=120CELLS=50DoF=360");
  p->stages = 3;
  pdedat_do_status(p, 1);
  EXPECT_EQ(labels(), std::string("s,0:00,STAGE,GRID,") + mesh);
  EXPECT_EQ(panel_lines(&p->status)[2], "STAGE=2");
  pdedat_do_status(p, 2);
  EXPECT_EQ(labels(), std::string("s,0:00,CYCLE,") + mesh + "TIME,DT,");
  // Reals through the number formatter with 5 digits; a one-digit mantissa has no bare point.
  p->time = 0.5, p->dt = 1.25e-3, p->rmserr = 2.5e-7, p->maxerr = 123456.7;
  pdedat_do_status(p, 2);
  lines = panel_lines(&p->status);
  EXPECT_EQ(lines[7] + "|" + lines[8] + "|" + lines[9] + "|" + lines[10],
            "RMS Error= 3e-7|MAX Error= 1e+5|TIME= 0.500|DT= 0.001");
  pdedat_do_status(p, 3);
  EXPECT_EQ(labels(), std::string("s,0:00,GRID,") + mesh);
  pdedat_do_status(p, 4);  // no such layout: unchanged
  EXPECT_EQ(labels(), std::string("s,0:00,GRID,") + mesh);
}

// Read back by python3's struct module.
TEST_F(Records, PlotGroupHeaderReadBackIndependently) {
  pde *p = open_problem("/runs/g.pde");
  p->mesh.nodes.count = 70000, p->mesh.cells.count = 34567, p->rmserr = 1.25e-3, p->time = 0.5;
  p->cycle = 65536 + 42;  // the file keeps 16 bits
  p->stages = 4, p->stage = 3, p->regrids = 5;
  filio_open_put(&p->plotfile, 4096, path("g.pgx").c_str());
  pdedat_put_group(p, 9);
  p->stages = 0;  // no stages: the stage field is 0
  pdedat_put_group(p, 65535);
  filio_close_put(&p->plotfile);
  std::string cmd = "python3 -c \"import struct,sys; d=open(sys.argv[1],'rb').read(); "
                    "print(len(d)); [print(*struct.unpack_from('<IIddHHHH', d, o)) for o in (0, 32)]\" " +
                    path("g.pgx");
  EXPECT_EQ(run(cmd), "64 70000 34567 0.00125 0.5 42 3 5 9 70000 34567 0.00125 0.5 42 0 5 65535");
}

}  // namespace
