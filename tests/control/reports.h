// Run control's error reports installed as the runtime's report hooks for as long as
// the scope lives, as the program installs them at start-up: the lower layers' tests
// that run a problem see the reports a user sees.
#pragma once
#include "control/pdedat.h"
#include "runtime/report.h"

struct ControlReports {
  ReportHooks saved = report_hooks;
  ControlReports() { report_hooks = pdedat_reports; }
  ~ControlReports() { report_hooks = saved; }
  ControlReports(const ControlReports &) = delete;
  ControlReports &operator=(const ControlReports &) = delete;
};
