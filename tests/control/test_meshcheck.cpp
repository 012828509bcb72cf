// A mesh check in a batch run: its question is answered No in the batch log, and its
// fatal stop reaches the catch point as an execution error on the current problem.
#include <gtest/gtest.h>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "runtime/except.h"
#include "tests/control/doubles.h"
#include "tests/elements/meshbuild.h"
#include "tests/runtime/harness.h"

namespace {

TEST_F(RunFixture, BatchMeshCheckEndsInAnExecutionError) {
  FILE *log = tmpfile();
  settings.batchlog = log;
  settings.batch = 1;
  pde *p = open_problem("/runs/mesh.pde");
  timefun_get_time(&p->starttime);
  report_current = p;
  Mesh m{};
  build_mesh(&m, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{1, 2, 3}}, tri3, [](const Corners &) { return uint16_t(1); });
  m.cells.data[0].neighbour[0] = 5;
  {
    TRACE("test_meshcheck");
    EXPECT_EQ(except_catch("test_meshcheck", [&] { meshes_check_mesh(&m, tri3, 1, 1); }), EXCEPT_FATAL);
    EXPECT_EQ(except_catch("test_meshcheck", [] { pdedat_exec_err_1(&fatal_message); }), EXCEPT_REPORTED);
  }
  rewind(log);
  std::string text = slurp_stream(log);
  EXPECT_NE(text.find("|  ERROR: Mesh is tangled near (0,0)!\n Continue?\n"), std::string::npos) << text;
  // The stop the answer leads to does not write the message a second time.
  EXPECT_EQ(text.find("| ERROR: Mesh is tangled near (0,0)!\n IN trapnabor_0\n"), std::string::npos) << text;
  EXPECT_EQ(p->error, 1);
  EXPECT_TRUE(shown.empty());  // no question box in a batch run
  meshes_free(&m, 0);
}

}  // namespace
