// The fixture of the run-control tests: a clean problem table, interactive mode,
// fresh doubles and a temporary directory; the debug log is open for the process.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "runtime/debug.h"
#include "tests/control/doubles.h"
#include "tests/tempfiles.h"

// Frees every open problem and resets the program-wide run state.
inline void control_reset() {
  for (int k = 1; k <= pdedat_count; k++)
    if (pdedat_table[k]->phase != 0) pdedat_free_pde(pdedat_table[k]);
  pdedat_current = nullptr;
  pdedat_batch_log = nullptr;
  pdedat_batch_states = nullptr;
  pdedat_batch_count = 0;
  pdedat_batch_index = 0;
  verdat_batch = verdat_defsignals = verdat_macro = verdat_opendialog = 0;
  verdat_parseonly = verdat_view = verdat_exit = verdat_runflag = 0;
  verdat_fullheight = 1;
  doubles_reset();
}

struct ControlFixture : ::testing::Test {
  TempDir dir;
  std::string tmpdir = dir.path;
  void SetUp() override { control_reset(); }
  void TearDown() override { control_reset(); }
};

// The debug log's text written since the mark (a byte offset from debug_mark()).
long debug_mark();
std::string debug_since(long mark);
