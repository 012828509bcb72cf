// The fixture the reader tests share: one problem of a batch run, its run log a
// temporary file, with the action table saved and given back afterwards.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "reader/acpde.h"
#include "reader/rdpde.h"
#include "tests/control/reports.h"
#include "tests/runtime/harness.h"

struct BatchProblem : ::testing::Test {
  ControlReports reports;
  TempDir dir;
  FILE *log = tmpfile();
  pde *p = nullptr;
  acpde_handler saved[ACPDE_CODES + 1] = {};
  void SetUp() override {
    rdpde_init();
    rdpde_init_parse();
    settings.batch = 1;
    settings.batchlog = log;
    String path = {};
    strings_copyto_1(&path, dir.file("desc.pde").c_str());
    p = pdedat_new_pde(&path);
    strings_free_0(&path);
    report_current = p;
    std::copy(acpde_handlers, acpde_handlers + ACPDE_CODES + 1, saved);
  }
  // The batch log written so far, which is emptied.
  std::string take_log() {
    fflush(log);
    rewind(log);
    std::string report = slurp_stream(log);
    EXPECT_EQ(ftruncate(fileno(log), 0), 0);
    rewind(log);
    return report;
  }
  void TearDown() override {
    std::copy(saved, saved + ACPDE_CODES + 1, acpde_handlers);
    pdedat_free_pde(p);
    report_current = nullptr;
    settings.batchlog = nullptr;
    settings.batch = 0;
    fclose(log);
  }
};
