// A batch problem whose domain is one polygonal region, for the mesher benchmarks.
#pragma once
#include <cstdio>
#include <utility>
#include <vector>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "model/symtab.h"
#include "runtime/strings.h"
#include "runtime/vectorn.h"

// A fresh batch problem of the given basis whose one region is the polygon, its joints
// quantized and its edges bounded and joined; the descriptor path only names it.
inline pde *polygon_problem(const char *name, const std::vector<std::pair<double, double>> &pts, int32_t basis) {
  static FILE *log = tmpfile();
  if (!symtab_optree) symtab_operators(&symtab_optree), symtab_builtins(&symtab_optree);
  settings.batch = 1;
  settings.batchlog = log;
  String path{};
  strings_copyto_1(&path, name);
  pde *p = pdedat_new_pde(&path);
  strings_free_0(&path);
  report_current = p;
  p->gridarc = 30, p->aspect = 4, p->basis = basis;
  Domain *d = p->mesh.domain;
  d->grofac = 0.25;
  std::vector<uint16_t> j;
  for (auto [x, y] : pts) j.push_back(joints_make_joint_1(&d->joints, x, y, &d->grid));
  uint16_t r = regions_new_region(&d->regions, 0, 0, 0), l = edges_new_loop(&d->loops);
  for (size_t k = 0; k < j.size(); k++)
    edges_add_to_loop(&d->loops, l, edges_make_line_edge(&d->edges, &d->joints, j[k], j[(k + 1) % j.size()], &d->grid));
  vectorn_one_more(&d->regions.data[r - 1].loops, l);
  joints_quantize(&d->joints, &d->grid);
  for (uint16_t k = 0; k < d->edges.count; k++) edges_bound_edge(&d->edges.data[k], &d->joints, &d->grid);
  edges_joinings(&d->edges, &d->joints);
  return p;
}
