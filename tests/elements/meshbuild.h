// Test meshes: nodes and cells given by coordinates and corner lists, with neighbours
// derived from shared sides and boundary ids for open sides; domain tables grown as
// the domain module will grow them; a reader of MSH 2.2 text; the record invariants.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "domain/domain.h"
#include "elements/basisfun.h"
#include "elements/meshes.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"
#include "tests/tempfiles.h"

using Xyz = std::array<double, 3>;
using Corners = std::vector<int>;
// Boundary id of an open side, given its corner node numbers (sorted).
using SideId = std::function<uint16_t(const Corners &)>;

// Appends a record to a domain table, growing it by 32 records as the domain does.
template <class Table, class Rec>
void table_add(Table *t, const Rec &r) {
  if (t->count == t->capacity) {
    decltype(t->data) d = nullptr;
    bopmemalloc(&d, t->capacity + 32, sizeof(Rec));
    XMEM += 32 * sizeof(Rec);
    std::copy(t->data, t->data + t->count, d);
    bopmemfree(&t->data);
    t->data = d;
    t->capacity += 32;
  }
  t->data[t->count++] = r;
}

// Adds the nodes and the cells (1-based corners, all of one linear basis), lists each
// cell at its nodes, links cells across shared sides and gives open sides their id.
inline void build_mesh(Mesh *m, const std::vector<Xyz> &xyz, const std::vector<Corners> &cells, int basis,
                       const SideId &bdid) {
  m->meshbasis = m->cellbasis = basis;
  m->cellstep = m->nodestep = 50;
  for (const Xyz &p : xyz) meshes_new_node_1(m, p[0], p[1], p[2], 0);
  std::map<Corners, std::pair<int, int>> open;  // side corners -> cell, side
  for (const Corners &cc : cells) {
    int32_t c = meshes_new_cell_0(m);
    MeshCell &cell = m->cells.data[c - 1];
    cell.basis = basis;
    for (int i = 0; i < int(cc.size()); i++) cell.nodes.data[i] = cc[i], meshes_new_nodecell(m, cc[i], c);
    for (int s = 0; s < int(cc.size()); s++) {
      Corners key = cc;
      key.erase(key.begin() + s);  // side s is opposite corner s
      std::sort(key.begin(), key.end());
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
  for (auto &[key, cs] : open) m->cells.data[cs.first - 1].bdid[cs.second] = bdid(key);
}

// The unit square as cells (1,2,3) and (1,3,4), open sides on edges 1-4 (bottom,
// right, top, left).
inline void unit_square(Mesh *m) {
  build_mesh(m, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 2, 3}, {1, 3, 4}}, tri3,
             [](const Corners &c) { return uint16_t(c[0] == 1 ? (c[1] == 2 ? 1 : 4) : c[0] == 2 ? 2 : 3); });
}

// A mesh read from MSH 2.2 text: its nodes, triangles and tagged boundary lines.
struct MshMesh {
  std::vector<Xyz> nodes;
  std::vector<Corners> triangles;
  std::map<Corners, uint16_t> lines;  // sorted end nodes -> physical tag
  SideId side_id() const {
    return [this](const Corners &c) { return lines.count(c) ? lines.at(c) : uint16_t(0); };
  }
};

inline MshMesh read_msh(const std::string &path) {
  std::ifstream in(path);
  MshMesh r;
  std::string word;
  int n, id, type, ntags;
  while (in >> word)
    if (word == "$Nodes") {
      in >> n;
      r.nodes.resize(n);
      for (int k = 0; k < n; k++) in >> id >> r.nodes[id - 1][0] >> r.nodes[id - 1][1] >> r.nodes[id - 1][2];
    } else if (word == "$Elements") {
      in >> n;
      for (int k = 0; k < n; k++) {
        in >> id >> type >> ntags;
        std::vector<int> tags(ntags);
        for (int &t : tags) in >> t;
        Corners c(type == 1 ? 2 : type == 2 ? 3 : type == 4 ? 4 : 1);
        for (int &x : c) in >> x;
        if (type == 2) r.triangles.push_back(c);
        std::sort(c.begin(), c.end());
        if (type == 1) r.lines[c] = uint16_t(tags[0]);
      }
    }
  return r;
}

inline std::string test_data(const char *name) { return test_data_dir() + "/" + name; }

// The record's invariants: cells and nodes list each other, neighbours are reciprocal
// (negated across periodic sides), open sides carry a boundary id.
inline void expect_invariants(Mesh *m) {
  int nv = elements_vertices[m->meshbasis], nf = elements_functions[m->meshbasis];
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    for (int i = 0; cell.alive && i < nf; i++)
      EXPECT_TRUE(vectorl_inlist(&m->nodes.data[cell.nodes.data[i] - 1].nodecell, c)) << c;
    for (int s = 0; cell.alive && s < nv; s++) {
      int32_t nb = cell.neighbour[s];
      EXPECT_TRUE(nb || cell.bdid[s]) << c << " side " << s + 1;
      const MeshCell &o = m->cells.data[std::abs(nb ? nb : c) - 1];
      EXPECT_TRUE(!nb || (o.alive && std::count(o.neighbour, o.neighbour + nv, nb > 0 ? c : -c) == 1))
          << c << " " << nb;
    }
  }
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    const vectorl &l = m->nodes.data[n - 1].nodecell;
    for (int32_t k = 0; k < l.count; k++)
      EXPECT_TRUE(vectorl_inlist(&m->cells.data[l.data[k] - 1].nodes, n)) << n;
  }
}

// A mesh on its own domain, both released after the test, which must leave XMEM as it
// found it.
struct MeshTest : ::testing::Test {
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
    cellnode_init();
  }
  int64_t xmem0 = XMEM;
  Domain d{};
  Mesh m{};
  void SetUp() override { m.domain = &d; }
  void TearDown() override {
    meshes_free(&m, 0);
    domain_clear(&d);
    EXPECT_EQ(XMEM, xmem0);
  }
  MeshCell &cell(int32_t c) { return m.cells.data[c - 1]; }
  MeshNode &node(int32_t n) { return m.nodes.data[n - 1]; }
  Xyz at(int32_t n) { return {node(n).x, node(n).y, node(n).z}; }
};
