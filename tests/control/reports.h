// Run control's error reports and status panel installed as the runtime's report hooks
// for as long as the scope lives, as the program installs them at start-up: the lower
// layers' tests that run a problem see the reports and panel a user sees.
#pragma once
#include "control/pdedat.h"
#include "runtime/report.h"

struct ControlReports {
  ReportHooks saved = report_hooks;
  ReportPanel panel = report_panel;
  ControlReports() { report_hooks = pdedat_reports, report_panel = pdedat_panel; }
  ~ControlReports() { report_hooks = saved, report_panel = panel; }
  ControlReports(const ControlReports &) = delete;
  ControlReports &operator=(const ControlReports &) = delete;
};
