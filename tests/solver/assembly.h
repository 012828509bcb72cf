// The assembly tests' problem: a descriptor parsed with the real actions and analysed,
// on a structured mesh of a rectangle (tri3 or tri6, two triangles per square) whose
// boundary nodes and sides carry the domain's joint and edge numbers (edges 1-4:
// bottom, right, top, left; joints 1-4 from the lower left corner on).
#pragma once
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "domain/domain.h"
#include "domain/dominpde.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "elements/quature.h"
#include "model/buildeq.h"
#include "model/pdedat_record.h"
#include "model/treeval.h"
#include "elements/basisfun.h"
#include "runtime/except.h"
#include "solver/coupling.h"
#include "solver/fitting.h"
#include "solver/loading.h"
#include "tests/reader/actions.h"
#include "tests/solver/gridmesh.h"

struct Assembly : Actions {
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
    treeval_init();
    coupling_init();
    fitting_init();
  }
  // Parses and analyses; "ok" or the message.
  std::string setup(const std::string &source, int cse = 0) {
    std::string r = parse(source);
    if (r != "ok") return "parse: " + r;
    prepare_domain();
    dominpde_edge_bcs(p);
    dominpde_joint_bcs(p);
    p->cse = decltype(p->cse)(cse);
    HookScope hook;
    pde *q = p;
    int code = except_catch("analyse", [q] { buildeq_analyze_eq(q); });
    return code ? "analysis failed" : "ok";
  }
  // The domain's joint at a point, and its straight edge through a point (0 none).
  uint16_t joint_at(double x, double y) {
    const Domain *d = p->mesh.domain;
    for (uint16_t k = 1; d && k <= d->joints.count; k++)
      if (std::fabs(d->joints.data[k - 1].x - x) < 1e-9 && std::fabs(d->joints.data[k - 1].y - y) < 1e-9) return k;
    return 0;
  }
  uint16_t edge_at(double x, double y) {
    const Domain *d = p->mesh.domain;
    for (uint16_t k = 1; d && k <= d->edges.count; k++) {
      const Edge &e = d->edges.data[k - 1];
      const Joint &a = d->joints.data[e.joint1 - 1], &b = d->joints.data[e.joint2 - 1];
      double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
      double dot = (x - a.x) * (b.x - a.x) + (y - a.y) * (b.y - a.y);
      double len2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
      if (std::fabs(cross) < 1e-9 && dot >= 0 && dot <= len2) return k;
    }
    return 0;
  }
  // The rectangle [0,w] x [0,h] in nx x ny squares (gridmesh.h) with the domain's ids,
  // and the problem's rules for its basis.
  void grid(int nx, int ny, int32_t basis, double w = 1, double h = 1, int (*region)(double, double) = nullptr) {
    p->dimension = 2;
    grid_mesh(&p->mesh, nx, ny, basis, w, h, [&](double x, double y) {
      uint16_t j = joint_at(x, y);
      return j && (x == 0 || x == w) && (y == 0 || y == h) ? j : edge_at(x, y);
    }, region);
    int order = elements_order[basis];
    p->vrule = quature_interior_choice(p->timedep, 2, order);
    p->sset = quature_side_choice(p->timedep, 2, order);
    quature_build_vquad_basis(&p->vquad, p->vrule, basis);
    quature_build_squad_basis(&p->squad, p->sset, basis);
  }
  // Layout and boundary tables of the mesh for a steady run.
  void layout(uint16_t kind = 1) {
    loading_map_matrix(p, kind);
    coupling_tabulate_bcs(p);
  }
};
