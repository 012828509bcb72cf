// A batch-mode problem whose domain the tests build by hand and mesh with the mesher,
// with the independent checks every finished mesh must pass.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "elements/elements.h"
#include "elements/meshes.h"
#include "mesher/gromesh2.h"
#include "mesher/mesher2.h"
#include "plot/plot.h"
#include "domain/dominpde.h"
#include "tests/domain/problem.h"
#include "tests/reader/actions.h"

inline std::vector<std::string> mesh_questions;  // the mesh checks' questions, answered yes
inline uint8_t answer_yes(uint16_t, const String *message, const String *) {
  mesh_questions.push_back(message->text ? message->text : "");
  return 1;
}

struct Mesher : Problem {
  decltype(report_hooks.yesno_message) platform = report_hooks.yesno_message;
  void SetUp() override {
    Problem::SetUp();
    p->gridarc = 30, p->aspect = 4, p->steepness = 0.5;
    p->basis = tri3;
    report_hooks.yesno_message = answer_yes;
    mesh_questions.clear();
  }
  void TearDown() override {
    report_hooks.yesno_message = platform;
    mesher2_debug = 0;
    // Plot records a test filled belong to the plot layer: the model's release leaves them.
    plot_free_0(&p->plotrecs);
    for (vectorn *v : {&p->monitors, &p->plots, &p->histories, &p->exports, &p->otherplots}) vectorn_free(v);
    Problem::TearDown();
  }
  Mesh &m() { return p->mesh; }
  MeshNode &node(int32_t n) { return p->mesh.nodes.data[n - 1]; }
  MeshCell &cell(int32_t c) { return p->mesh.cells.data[c - 1]; }
  // Meshes the domain built so far as the run controller would.
  int32_t mesh(uint16_t ngrid) {
    finish();
    p->phase = 5;
    return mesher2_freshmesh(p, 1, ngrid);
  }
  // A closed loop of arcs about (cx, cy) of radius r through n points, counter-clockwise.
  std::vector<int32_t> circle(double cx, double cy, double r, int n, bool clockwise = false) {
    std::vector<uint16_t> j;
    for (int k = 0; k < n; k++) {
      double a = 2 * std::numbers::pi * k / n;
      j.push_back(pt(cx + r * std::cos(a), cy + r * std::sin(a)));
    }
    std::vector<int32_t> e;
    for (int k = 0; k < n; k++) e.push_back(arc(j[k], j[(k + 1) % n], cx, cy));
    if (clockwise) {
      std::vector<int32_t> back;
      for (int k = n; k-- > 0;) back.push_back(-e[k]);
      return back;
    }
    return e;
  }
  // A loop of straight edges through the points.
  std::vector<int32_t> lines(std::initializer_list<std::pair<double, double>> pts) {
    std::vector<uint16_t> j;
    for (auto [x, y] : pts) j.push_back(pt(x, y));
    std::vector<int32_t> e;
    for (size_t k = 0; k < j.size(); k++) e.push_back(line(j[k], j[(k + 1) % j.size()]));
    return e;
  }
  // A region bounded by the loops.
  uint16_t region_of(std::initializer_list<std::vector<int32_t>> loops) {
    uint16_t r = region({});
    vectorn_free(&dp->regions.data[r - 1].loops);
    for (const auto &lp : loops) {
      uint16_t l = edges_new_loop(&dp->loops);
      for (int32_t e : lp) edges_add_to_loop(&dp->loops, l, e);
      vectorn_one_more(&dp->regions.data[r - 1].loops, l);
    }
    return r;
  }
  int32_t live_cells() {
    int32_t n = 0;
    for (int32_t c = 1; c <= m().cells.count; c++) n += cell(c).alive;
    return n;
  }
  // The area the boundary node lists enclose: each edge's polyline, counted with the
  // region on its left and against it on its right.
  double boundary_area() {
    double a = 0;
    for (int32_t e = 1; e <= m().edgenodes.count; e++) {
      const Edge &E = edge(e);
      int sign = (E.side_regions[0] ? 1 : 0) - (E.side_regions[1] ? 1 : 0);
      const vectorl &l = m().edgenodes.data[e - 1];
      for (int32_t k = 1; k < l.count; k++) {
        const MeshNode &u = node(l.data[k - 1]), &v = node(l.data[k]);
        a += sign * 0.5 * (u.x * v.y - v.x * u.y);
      }
    }
    return a;
  }
  // The checks every mesh passes: no question from the mesh checks, every cell
  // counter-clockwise, the Euler count and the area of the boundary polygon.
  void expect_sound(int holes, double area_tol = 1e-12) {
    EXPECT_TRUE(mesh_questions.empty()) << (mesh_questions.empty() ? "" : mesh_questions[0]);
    int32_t vin = 0, vbd = 0, tri = 0;
    double area = 0;
    for (int32_t c = 1; c <= m().cells.count; c++) {
      if (!cell(c).alive) continue;
      tri++;
      const MeshNode &a = node(cell(c).nodes.data[0]), &b = node(cell(c).nodes.data[1]), &d = node(cell(c).nodes.data[2]);
      double s = 0.5 * ((b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x));
      EXPECT_GT(s, 0) << "cell " << c;
      area += s;
    }
    std::vector<int8_t> vertex(m().nodes.count + 1);
    for (int32_t c = 1; c <= m().cells.count; c++)
      if (cell(c).alive)
        for (int i = 0; i < 3; i++) vertex[cell(c).nodes.data[i]] = 1;
    for (int32_t n = 1; n <= m().nodes.count; n++) {
      if (!vertex[n]) continue;
      bool bnd = false;
      for (int32_t c : std::vector<int32_t>(node(n).nodecell.data, node(n).nodecell.data + node(n).nodecell.count))
        for (int s = 0; s < 3; s++)
          if (cell(c).neighbour[s] == 0 && cell(c).nodes.data[(s + 1) % 3] == n) bnd = true;
      (bnd ? vbd : vin)++;
    }
    EXPECT_EQ(tri, 2 * vin + vbd - 2 + 2 * holes);
    EXPECT_NEAR(area, boundary_area(), area_tol * std::max(1.0, std::fabs(area)));
  }
  // The smallest angle of any cell, in degrees.
  double min_angle() {
    double least = 180;
    for (int32_t c = 1; c <= m().cells.count; c++) {
      if (!cell(c).alive) continue;
      for (int i = 0; i < 3; i++) {
        const MeshNode &a = node(cell(c).nodes.data[i]), &b = node(cell(c).nodes.data[(i + 1) % 3]),
                       &d = node(cell(c).nodes.data[(i + 2) % 3]);
        double ux = b.x - a.x, uy = b.y - a.y, vx = d.x - a.x, vy = d.y - a.y;
        least = std::min(least, std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy) * 180 / std::numbers::pi);
      }
    }
    return least;
  }
};

// A descriptor parsed by the real actions (its own end included) and meshed, the mesh
// checks' questions answered yes.
struct MeshedDescriptor : Actions {
  decltype(report_hooks.yesno_message) platform = report_hooks.yesno_message;
  void SetUp() override {
    Actions::SetUp();
    std::copy(saved, saved + ACPDE_CODES + 1, acpde_handlers);
    report_hooks.yesno_message = answer_yes;
    mesh_questions.clear();
  }
  void TearDown() override {
    report_hooks.yesno_message = platform;
    Actions::TearDown();
  }
};
