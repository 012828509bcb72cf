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
#include "model/treeval.h"
#include "elements/basisfun.h"
#include "runtime/except.h"
#include "solver/coupling.h"
#include "solver/loading.h"
#include "tests/reader/actions.h"

struct Assembly : Actions {
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
    treeval_init();
    coupling_init();
  }
  // Parses and analyses; "ok" or the message.
  std::string setup(const std::string &source) {
    std::string r = parse(source);
    if (r != "ok") return "parse: " + r;
    Domain *d = p->mesh.domain;
    joints_quantize(&d->joints, &d->grid);
    for (uint16_t k = 0; k < d->edges.count; k++) edges_bound_edge(&d->edges.data[k], &d->joints, &d->grid);
    edges_joinings(&d->edges, &d->joints);
    domain_bound_regions(d);
    domain_tag_edges(d);
    dominpde_edge_bcs(p);
    dominpde_joint_bcs(p);
    p->cse = 0;
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
  // The rectangle [0,w] x [0,h] in nx x ny squares; region(x, y) of each cell's centroid.
  void grid(int nx, int ny, int32_t basis, double w = 1, double h = 1,
            int (*region)(double, double) = nullptr) {
    Mesh *m = &p->mesh;
    int o = basis == tri6 ? 2 : 1, fx = o * nx + 1, fy = o * ny + 1;
    m->meshbasis = m->cellbasis = basis;
    m->cellstep = m->nodestep = 500;
    p->dimension = 2;
    for (int j = 0; j < fy; j++)
      for (int i = 0; i < fx; i++) {
        int32_t n = meshes_new_node_1(m, w * i / (fx - 1), h * j / (fy - 1), 0, 0);
        MeshNode &nd = m->nodes.data[n - 1];
        bool l = i == 0, r = i == fx - 1, b = j == 0, t = j == fy - 1;
        if ((l || r) && (b || t)) nd.kind = 1, nd.id = joint_at(nd.x, nd.y);
        else if (l || r || b || t) nd.kind = 2, nd.id = edge_at(nd.x, nd.y);
      }
    auto at = [&](int i, int j) { return j * fx + i + 1; };
    std::map<std::pair<int, int>, std::pair<int, int>> open;
    for (int j = 0; j < ny; j++)
      for (int i = 0; i < nx; i++) {
        int I = o * i, J = o * j;
        int tri[2][3][2] = {{{I, J}, {I + o, J}, {I + o, J + o}}, {{I, J}, {I + o, J + o}, {I, J + o}}};
        for (auto &t : tri) {
          int32_t c = meshes_new_cell_0(m);
          MeshCell &cell = m->cells.data[c - 1];
          cell.basis = basis;
          cell.region = 1;
          int v[6];
          for (int k = 0; k < 3; k++) v[k] = at(t[k][0], t[k][1]);
          if (basis == tri6)
            for (int s = 0; s < 3; s++) {
              int a = (s + 1) % 3, b = (s + 2) % 3;
              v[3 + s] = at((t[a][0] + t[b][0]) / 2, (t[a][1] + t[b][1]) / 2);
            }
          int nn = basis == tri6 ? 6 : 3;
          for (int k = 0; k < nn; k++) cell.nodes.data[k] = v[k], meshes_new_nodecell(m, v[k], c);
          double cx = 0, cy = 0;
          for (int k = 0; k < 3; k++) cx += m->nodes.data[v[k] - 1].x / 3, cy += m->nodes.data[v[k] - 1].y / 3;
          if (region) cell.region = uint16_t(region(cx, cy));
          for (int s = 0; s < 3; s++) {
            int a = v[(s + 1) % 3], b = v[(s + 2) % 3];
            std::pair<int, int> key{std::min(a, b), std::max(a, b)};
            auto it = open.find(key);
            if (it == open.end()) {
              open[key] = {c, s};
              continue;
            }
            cell.neighbour[s] = it->second.first;
            m->cells.data[it->second.first - 1].neighbour[it->second.second] = c;
            open.erase(it);
          }
        }
      }
    for (auto &[key, cs] : open) {
      const MeshNode &a = m->nodes.data[key.first - 1], &b = m->nodes.data[key.second - 1];
      uint16_t id = edge_at((a.x + b.x) / 2, (a.y + b.y) / 2);
      MeshCell &cell = m->cells.data[cs.first - 1];
      cell.bdid[cs.second] = id;
      cell.hasbound = 1;
    }
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
