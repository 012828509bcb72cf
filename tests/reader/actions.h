// A descriptor parsed with the real actions through the run controller's parse step.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "model/symtab.h"
#include "reader/acpde.h"
#include "reader/rdpde.h"
#include "runtime/textin.h"
#include "tests/reader/problem.h"
#include "tests/runtime/harness.h"

struct Actions : BatchProblem {
  std::string debug;  // the debug log of the last parse
  void SetUp() override {
    BatchProblem::SetUp();
    // The end of a descriptor is the boundary reader's: here it ends the parse only.
    for (int c = 1; c <= ACPDE_CODES; c++) {
      const char *n = acpde_handler_names[c];
      if (n && (!strcmp(n, "rdomain_end_key") || !strcmp(n, "rdomain_end_key1") || !strcmp(n, "rdomain_eof_end")))
        acpde_handlers[c] = [](parse_node *, parse_node *const *) {};
    }
  }
  void TearDown() override {
    for (uint16_t *t : {&p->desctext, &p->cfgtext})
      if (*t) textin_close_text(*t), *t = 0;
    BatchProblem::TearDown();
  }
  // "ok", or "message @line:column" of the error mark (the column after the token); the configuration text
  // is parsed first when given.
  std::string parse(const std::string &source, const std::string &config = "") {
    for (uint16_t *t : {&p->desctext, &p->cfgtext})
      if (*t) textin_close_text(*t), *t = 0;
    String name = {};
    p->desctext = textin_preset_text(&name, 0, source.c_str());
    if (!config.empty()) p->cfgtext = textin_preset_text(&name, 0, config.c_str());
    DebugCapture capture;
    TRACE("parse");
    HookScope hook;
    pde *q = p;
    int code = except_catch("parse", [q] { control_parse_file(q); });
    debug = capture.text();
    if (!code) return "ok";
    std::string report = take_log();
    size_t e = report.rfind("ERROR: ");
    if (e == std::string::npos || getenv("RAW")) return report;
    std::string message = report.substr(e + 7, report.find('\n', e) - e - 7);
    // The mark stands under the text after an 11-character time stamp.
    size_t star = report.rfind('*');
    size_t col = star - report.rfind('\n', star) - 11;
    std::string line = report.substr(report.rfind("Line ", e) + 5);
    return message + " @" + line.substr(0, line.find(' ')) + ":" + std::to_string(col);
  }
  // The domain snapped and bounded as the end of the descriptor leaves it, then the
  // regions beside each edge found as the mesh phase finds them.
  void prepare_domain() {
    Domain *d = p->mesh.domain;
    joints_quantize(&d->joints, &d->grid);
    edges_fit_arcs(&d->edges, &d->joints);
    for (uint16_t k = 0; k < d->edges.count; k++) edges_bound_edge(&d->edges.data[k], &d->joints, &d->grid);
    edges_joinings(&d->edges, &d->joints);
    domain_bound_regions(d);
    domain_tag_edges(d);
  }
};
