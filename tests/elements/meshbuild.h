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
#include <sstream>
#include <string>
#include <vector>

#include "elements/basisfun.h"
#include "elements/meshes.h"
#include "elements/quature.h"
#include "runtime/bopmem.h"

using Xyz = std::array<double, 3>;
using Corners = std::vector<int>;
// Boundary id of an open side, given its corner node numbers.
using SideId = std::function<uint16_t(const Corners &)>;

// Appends a record to a domain table, growing it by 32 records as the domain does.
template <class Table, class Rec> uint16_t table_add(Table *t, const Rec &r) {
  if (t->count == t->capacity) {
    decltype(t->data) d = nullptr;
    bopmemalloc(&d, t->capacity + 32, sizeof(Rec));
    XMEM += 32 * sizeof(Rec);
    if (t->count) std::copy(t->data, t->data + t->count, d);
    bopmemfree(&t->data);
    t->data = d;
    t->capacity += 32;
  }
  t->data[t->count++] = r;
  return t->count;
}

inline vectorn list_of(std::initializer_list<int> v) {
  vectorn l{};
  for (int x : v) vectorn_one_more(&l, uint16_t(x));
  return l;
}

// Side s (0-based) of a cell with nv corners: the corners other than s.
inline Corners side_corners(const Corners &c, int s) {
  Corners r;
  for (int i = 0; i < int(c.size()); i++)
    if (i != s) r.push_back(c[i]);
  return r;
}

// Adds the nodes and the cells (1-based corners, all of one linear basis), lists each
// cell at its nodes, links cells across shared sides and gives open sides their id.
inline void build_mesh(Mesh *m, const std::vector<Xyz> &xyz, const std::vector<Corners> &cells, int basis,
                       const SideId &bdid) {
  m->meshbasis = m->cellbasis = basis;
  if (!m->cellstep) m->cellstep = 50, m->nodestep = 50;
  int32_t first = m->nodes.count;
  for (const Xyz &p : xyz) meshes_new_node_1(m, p[0], p[1], p[2], 0);
  std::map<Corners, std::pair<int, int>> open;
  for (const Corners &cc : cells) {
    int32_t c = meshes_new_cell_0(m);
    MeshCell &cell = m->cells.data[c - 1];
    cell.basis = basis;
    cell.region = 1;
    for (int i = 0; i < int(cc.size()); i++) {
      cell.nodes.data[i] = cc[i] + first;
      meshes_new_nodecell(m, cc[i] + first, c);
    }
    for (int s = 0; s < int(cc.size()); s++) {
      Corners key = side_corners(cc, s);
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

// A mesh read from MSH 2.2 text: its nodes, triangles and the tagged boundary lines.
struct MshMesh {
  std::vector<Xyz> nodes;
  std::vector<Corners> triangles;
  std::map<Corners, uint16_t> lines;  // sorted end nodes -> physical tag
  SideId side_id() const {
    return [this](const Corners &c) {
      auto it = lines.find(c);
      return it == lines.end() ? uint16_t(0) : it->second;
    };
  }
};

inline MshMesh read_msh(const std::string &path) {
  std::ifstream in(path);
  MshMesh r;
  std::string word;
  while (in >> word) {
    if (word == "$Nodes") {
      int n, id;
      in >> n;
      r.nodes.resize(n);
      for (int k = 0; k < n; k++) in >> id >> r.nodes[id - 1][0] >> r.nodes[id - 1][1] >> r.nodes[id - 1][2];
    } else if (word == "$Elements") {
      int n, id, type, ntags;
      in >> n;
      for (int k = 0; k < n; k++) {
        in >> id >> type >> ntags;
        std::vector<int> tags(ntags);
        for (int &t : tags) in >> t;
        int count = type == 1 ? 2 : type == 2 ? 3 : type == 4 ? 4 : 1;
        Corners c(count);
        for (int &x : c) in >> x;
        if (type == 2) r.triangles.push_back(c);
        if (type == 1) {
          std::sort(c.begin(), c.end());
          r.lines[c] = uint16_t(tags[0]);
        }
      }
    }
  }
  return r;
}

inline std::string test_data(const char *name) {
  const char *dir = std::getenv("QUENDAR_TEST_DATA");
  return std::string(dir ? dir : "tests/data") + "/" + name;
}

// The record's invariants: cells and nodes list each other, neighbours are reciprocal
// (negated across periodic sides), open sides carry a boundary id.
inline void expect_invariants(Mesh *m) {
  int nv = elements_vertices[m->meshbasis], nf = elements_functions[m->meshbasis];
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (!cell.alive) continue;
    for (int i = 0; i < nf; i++)
      EXPECT_TRUE(vectorl_inlist(&m->nodes.data[cell.nodes.data[i] - 1].nodecell, c)) << c;
    for (int s = 0; s < nv; s++) {
      int32_t nb = cell.neighbour[s];
      if (nb == 0) {
        EXPECT_NE(cell.bdid[s], 0) << c << " side " << s + 1;
      }
      if (nb != 0) {
        const MeshCell &o = m->cells.data[std::abs(nb) - 1];
        EXPECT_TRUE(o.alive);
        EXPECT_TRUE(std::count(o.neighbour, o.neighbour + nv, nb > 0 ? c : -c) == 1) << c << " " << nb;
      }
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
};
