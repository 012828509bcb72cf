// The system layout (pattern counts, deleted and periodic nodes, reordering), node
// localisation, the time weights against independent Gauss rules, and the choice of
// method and preconditioner with its fallbacks.
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <vector>

#include "elements/evalpoint.h"
#include "model/constrn.h"
#include "runtime/vectorld.h"
#include "elements/cellnode.h"
#include "solver/bigmatx.h"
#include "solver/sparsemx.h"
#include "tests/runtime/fatal_stop.h"
#include "tests/solver/assembly.h"

namespace {

int32_t entries(const sparsemx &A) {
  int32_t n = 0;
  for (int32_t i = 1; i <= A.rows; i++) n += A.data[i - 1].count;
  return n;
}

struct Layout : Assembly {
  void counts(uint16_t F, uint16_t S, uint16_t C) {
    p->nfield = F, p->nscalar = S, p->nvars = uint16_t(F + S);
    for (uint16_t c = 0; c < C; c++) constrn_new_constraint(&p->formulas.constraints);
  }
};

}  // namespace

TEST_F(Layout, PatternCounts) {
  // The node adjacency ends in the block (its values zeros), the link left empty.
  // 2 x 2 squares of tri3: 9 nodes, L = 9 + 2 x 16 edges = 41 link entries.
  grid(2, 2, tri3);
  struct Case { uint16_t F, S, C; int32_t want; } cases[] = {
      {2, 1, 0, 201}, {2, 0, 0, 164}, {1, 0, 1, 41 + 9 + 10}, {2, 1, 1, 164 + 36 + 20 + 20}};
  for (const Case &c : cases) {
    formulas_free(&p->formulas);
    counts(c.F, c.S, c.C);
    loading_map_matrix(p, 1);
    EXPECT_EQ(entries(p->block), 41);
    EXPECT_EQ(p->link.rows, 0);
    for (int32_t i = 1; i <= p->block.rows; i++)
      for (int32_t k = 0; k < p->block.data[i - 1].count; k++) ASSERT_EQ(p->block.data[i - 1].values[k], 0.0);
    EXPECT_EQ(p->nt, c.F * 9 + c.S + c.C);
    EXPECT_EQ(entries(p->matrix), c.want) << c.F << c.S << c.C;
    // Constraint rows: the field and scalar columns, then their diagonal.
    for (int32_t r = p->ns + 1; r <= p->nt; r++) {
      const vectorld &row = p->matrix.data[r - 1];
      ASSERT_EQ(row.count, p->ns + 1);
      EXPECT_EQ(row.keys[row.count - 1], r);
    }
  }
}

TEST_F(Layout, DeletedPeriodicAndReordered) {
  grid(2, 2, tri3);
  counts(2, 0, 0);
  // A node outside every cell, deleted: a one-entry link row and an F x F block.
  int32_t d = meshes_new_node_1(&p->mesh, 5, 5, 0, 0);
  p->mesh.nodes.data[d - 1].alive = 0;
  // Node 3 (right of the bottom row) the slave of node 1.
  vectorll_insert(&p->mesh.images, 3, 1);
  p->mesh.nodes.data[2].image = 1;
  p->symmetric = 1, p->reorder = 1;
  loading_map_matrix(p, 1);
  EXPECT_EQ(p->block.data[d - 1].count, 1);
  EXPECT_EQ(p->matrix.data[bigmatx_row(&p->layout, 1, d) - 1].count, 2);
  // The master's row holds every node of the slave's cells.
  const MeshNode &s = p->mesh.nodes.data[2];
  for (int32_t k = 0; k < s.nodecell.count; k++)
    for (int32_t q : {0, 1, 2}) {
      int32_t n = p->mesh.cells.data[s.nodecell.data[k] - 1].nodes.data[q];
      EXPECT_GE(bigmatx_find(p->block.data[0].keys, p->block.data[0].count, n), 0) << n;
    }
  EXPECT_EQ(p->perm.count, 10);  // reordered: symmetric, steady, REORDER on
  // Field rows of a node stay adjacent, and the block rows are in mesh order again.
  for (int32_t n = 1; n <= 9; n++)
    EXPECT_EQ(bigmatx_row(&p->layout, 2, n), bigmatx_row(&p->layout, 1, n) + 1);
  EXPECT_EQ(p->block.data[4].count, 7);
  for (auto [sym, timedep] : {std::pair{0, 0}, std::pair{1, 1}}) {
    p->symmetric = uint8_t(sym), p->timedep = uint8_t(timedep);
    loading_map_matrix(p, 1);
    EXPECT_EQ(p->perm.count, 0);
    EXPECT_EQ(bigmatx_row(&p->layout, 1, 5), 9);
  }
}

TEST_F(Layout, LocalizeNodePicksTheFirstCellOfTheHighestRegion) {
  // Node 5 (the centre) is shared by regions 2 (left half) and 3 (right half).
  grid(2, 2, tri3, 1, 1, [](double x, double) { return x < 0.5 ? 2 : 3; });
  evalpoint pt{};
  LocalCell lc{};
  pt.cell = &lc;
  const MeshNode &n = p->mesh.nodes.data[4];
  int32_t first3 = 0, last2 = 0;
  for (int32_t k = 0; k < n.nodecell.count; k++) {
    int32_t c = n.nodecell.data[k];
    if (p->mesh.cells.data[c - 1].region == 3 && !first3) first3 = c;
    if (p->mesh.cells.data[c - 1].region == 2) last2 = c;
  }
  EXPECT_EQ(loading_localize_node(&pt, &p->mesh, 5, 0), first3);
  EXPECT_EQ(pt.region, 3);
  EXPECT_DOUBLE_EQ(pt.x, 0.5);
  EXPECT_EQ(lc.nodes[pt.basisfn - 1], 5);
  EXPECT_DOUBLE_EQ(pt.local[pt.basisfn - 1], 1.0);
  EXPECT_EQ(loading_localize_node(&pt, &p->mesh, 5, 2), last2);
  EXPECT_EQ(loading_localize_node(&pt, &p->mesh, 5, 7), 0);
}

TEST_F(Layout, TimeWeights) {
  p->timedep = 1;
  counts(2, 0, 0);
  p->vars.count = 0;  // variable flags from a record of our own
  pdevar v[2] = {};
  v[0].timeflag = 1;
  p->vars.items = v, p->vars.count = 2;
  struct Case { double tc, T; int nodes; double first, last; } cases[] = {
      {0.5, 0.5, 5, 0.0469100770, 0.9530899230}, {2.0 / 3, 2.0 / 3, 5, 0.0985350858, 0.9601901429},
      {0.8, 0.8, 5, 0.1962120074, 0.9694357035}, {0.86, 6.0 / 7, 5, 0.2796931248, 0.9751938347},
      {0.87, 1.0, 1, 1.0, 1.0}, {0.3, 0.5, 5, 0.0469100770, 0.9530899230}, {-0.5, 0.5, 5, 0.0469100770, 0.9530899230}};
  for (const Case &c : cases) {
    p->tcenter = c.tc;
    coupling_build_weights(p);
    EXPECT_NEAR(p->theta, c.T, 1e-15) << c.tc;
    EXPECT_NEAR(p->theta1, 1 - c.T, 1e-15);
    ASSERT_EQ(p->tcount.data[0], c.nodes);
    EXPECT_EQ(p->tcount.data[1], 1);  // no time derivative: the node 1
    const vectord &t = p->tnodes.data[0], &w = p->tweights.data[0];
    EXPECT_DOUBLE_EQ(t.data[0], c.first);
    EXPECT_DOUBLE_EQ(t.data[c.nodes - 1], c.last);
    double sw = 0, swt = 0;
    for (int i = 0; i < c.nodes; i++) sw += w.data[i], swt += w.data[i] * t.data[i];
    EXPECT_NEAR(sw, 1.0, 1e-9);
    EXPECT_NEAR(swt, c.T, 1e-9);
  }
  // Each row integrates t^k against t^n on [0, 1] exactly for k <= 9.
  for (int n = 0; n <= 5; n++) {
    p->tcenter = double(n + 1) / (n + 2) - 1e-12;
    coupling_build_weights(p);
    ASSERT_EQ(p->tcount.data[0], 5);
    for (int k = 0; k <= 9; k++) {
      double s = 0;
      for (int i = 0; i < 5; i++) s += p->tweights.data[0].data[i] / (n + 1) * std::pow(p->tnodes.data[0].data[i], k);
      EXPECT_NEAR(s, 1.0 / (n + k + 1), 1e-9) << n << " " << k;
    }
  }
  EXPECT_NEAR(p->tweights.data[0].data[0] / 6, 0.0003697155, 1e-10);
  p->vars.items = nullptr, p->vars.count = 0;
}

TEST_F(Layout, MethodChoice) {
  counts(2, 0, 0);
  struct Case {
    const char *what;
    uint8_t timedep, dim, E;
    std::vector<std::pair<uint8_t pde::*, uint8_t>> set;
    int est, solver, precon;
  } cases[] = {
      {"steady", 0, 2, 2, {}, 2, 0, 4},
      {"steady 3D", 0, 3, 2, {}, 2, 0, 3},
      {"steady 3D one equation", 0, 3, 1, {}, 2, 0, 1},
      {"time, two equations", 1, 2, 2, {}, 0, 0, 3},
      {"time, one equation", 1, 2, 1, {}, 0, 0, 1},
      {"ICCG off", 0, 2, 2, {{&pde::iccg, 1}}, 2, 0, 3},
      {"vandenberg and iccg", 0, 2, 2, {{&pde::vandenberg, 2}, {&pde::iccg, 2}}, 2, 2, 4},
      {"vandenberg", 0, 2, 2, {{&pde::vandenberg, 2}, {&pde::biprecon, 1}}, 2, 2, 2},
      {"lanczos", 0, 2, 2, {{&pde::lanczos, 2}}, 2, 1, 3},
      {"fill_lu", 0, 2, 2, {{&pde::fill_lu, 2}}, 2, 3, 6},
      {"precondition off", 0, 2, 2, {{&pde::precondition, 1}, {&pde::diprecon, 2}}, 2, 0, 0},
      {"ata", 1, 2, 2, {{&pde::ataprecon, 2}, {&pde::galerkin_error, 2}}, 1, 0, 2},
      {"centre", 1, 2, 2, {{&pde::center_error, 2}, {&pde::curvature_error, 2}}, 2, 0, 3},
      {"curvature", 0, 2, 2, {{&pde::curvature_error, 2}}, 0, 0, 4},
  };
  for (const Case &c : cases) {
    for (uint8_t pde::*s : {&pde::iccg, &pde::vandenberg, &pde::lanczos, &pde::fill_lu, &pde::precondition,
                            &pde::diprecon, &pde::ataprecon, &pde::biprecon, &pde::galerkin_error,
                            &pde::center_error, &pde::curvature_error})
      p->*s = 0;
    for (auto [s, v] : c.set) p->*s = v;
    p->timedep = c.timedep, p->dimension = c.dim, p->nfield = c.E;
    while (p->formulas.equations.count < 2) eqns_new_equation(&p->formulas.equations);
    coupling_set_method(p);
    EXPECT_EQ(p->estimator, c.est) << c.what;
    EXPECT_EQ(p->solver, c.solver) << c.what;
    EXPECT_EQ(p->precon, c.precon) << c.what;
  }
  p->nfield = 2;
  p->iccg = 0, p->bandlu = 10, p->reorder = 0;
  coupling_set_method(p);
  EXPECT_EQ(p->precon, 5);
  EXPECT_EQ(p->reorder, 1);
  constrn_new_constraint(&p->formulas.constraints);
  HookScope hook;
  pde *q = p;
  EXPECT_NE(except_catch("method", [q] { coupling_set_method(q); }), 0);
}

TEST_F(Layout, FactorisationsThatBreakDownFallBack) {
  grid(1, 1, tri3);
  counts(1, 0, 0);
  loading_map_matrix(p, 1);
  // A zero pivot on the first row: every factorisation of it breaks down.
  for (int32_t i = 1; i <= 4; i++)
    for (int32_t e = 0; e < p->matrix.data[i - 1].count; e++) {
      vectorld &r = p->matrix.data[i - 1];
      r.values[e] = r.keys[e] == i ? (i == 1 ? 0.0 : 4.0) : -1.0;
    }
  vectord_resize(&p->precscale, 4, 4);
  for (auto [solver, precon] : {std::pair{0, 4}, std::pair{1, 4}, std::pair{2, 5}, std::pair{0, 5}}) {
    p->solver = uint8_t(solver), p->precon = uint8_t(precon), p->bandlu = 4;
    pde *q = p;
    HookScope hook;
    EXPECT_EQ(except_catch("precon", [q] { coupling_build_precon(q, &q->matrix); }), 0);
    EXPECT_EQ(p->precon, 1) << solver << precon;  // one equation: the diagonal
    EXPECT_EQ(p->precvec.count, 4);
  }
}

// An element block lands on the entries of its columns in every row, whatever the
// order of the cell's nodes; a column named twice takes its terms in the given order
// (1 + 1e16 + 1 rounds to 1e16, 1 + 1 + 1e16 does not); a column the row lacks and a
// block wider than a cell stop the run.
TEST(CellLoading, BlocksLandOnTheirColumnsInTheGivenOrder) {
  sparsemx M{};
  sparsemx_resize_0(&M, 9, 9);
  for (int32_t i = 1; i <= 9; i++)
    for (int32_t c = 1; c <= 9; c++)
      if (c != 4) vectorld_one_more(&M.data[i - 1], c, 1.0);
  LocalCell lc{};
  int32_t nodes[] = {9, 2, 7, 2};
  std::copy(std::begin(nodes), std::end(nodes), lc.nodes);
  double v[3 * 4];
  for (int a = 0; a < 3; a++) v[a * 4] = 10.0 * a, v[a * 4 + 1] = 1e16, v[a * 4 + 2] = 0.5 + a, v[a * 4 + 3] = 1.0;
  EXPECT_EQ(loading_load_cell_block(&M, 3, 4, &lc, v), 12);
  auto at = [&](int32_t i, int32_t c) { return M.data[i - 1].values[c < 4 ? c - 1 : c - 2]; };
  for (int a = 0; a < 3; a++) {
    int32_t i = nodes[a];
    EXPECT_EQ(at(i, 9), 1.0 + 10.0 * a);
    EXPECT_EQ(at(i, 7), 1.0 + (0.5 + a));
    EXPECT_EQ(at(i, 2), (1.0 + 1e16) + 1.0);
    EXPECT_EQ(at(i, 1), 1.0);
  }
  lc.nodes[2] = 4;
  EXPECT_EQ(fatal_stop([&] { loading_load_cell_block(&M, 3, 4, &lc, v); }), "MISSING ELEMENT IN loading_load_cell_block");
  EXPECT_EQ(fatal_stop([&] { loading_load_cell_block(&M, 1, 21, &lc, v); }),
            "BLOCK COUNT MISMATCH IN loading_load_cell_block");
  sparsemx_free(&M, 1);
}

// Block transfers on a random pattern: every block entry lands on its mapped column,
// copies leaving the last value and additions the sum (whole numbers, so the sum is
// exact in any order), whatever the rows filled before; a column named twice in the
// global row takes the entry on its first place, or on the next place after the
// entry before it; a column the global row lacks stops the run.
TEST(BlockTransfer, EntriesLandOnTheirMappedColumns) {
  std::mt19937 rng(63);
  const int32_t n = 60;
  bigmatx b{};
  vectorl counts{};
  vectorl_resize(&counts, 1, 1);
  counts.data[0] = n;
  bigmatx_resize(&b, &counts);
  std::vector<int32_t> perm(n);
  std::iota(perm.begin(), perm.end(), 1);
  std::shuffle(perm.begin(), perm.end(), rng);
  for (int32_t k = 0; k < n; k++) b.maps.data[0].data[k] = perm[size_t(k)];
  // Block row r names its columns (node numbers) in random order, some twice; the
  // global row of r holds exactly their mapped columns, sorted.
  sparsemx A{}, B{};
  sparsemx_resize_0(&A, n, n);
  sparsemx_resize_0(&B, n, n);
  std::vector<std::map<int32_t, double>> sum(n), last(n);
  for (int32_t r = 1; r <= n; r++) {
    std::vector<int32_t> cols;
    for (int32_t q = 1; q <= n; q++)
      if (q == r || rng() % 5 == 0) cols.push_back(q);
    std::vector<int32_t> named = cols;
    for (int32_t t = 0; t < 3; t++) named.push_back(cols[rng() % cols.size()]);
    std::shuffle(named.begin(), named.end(), rng);
    int32_t g = perm[size_t(r - 1)];
    for (int32_t q : named) {
      double v = double(1 + rng() % 100);
      vectorld_one_more(&B.data[r - 1], q, v);
      int32_t c = perm[size_t(q - 1)];
      sum[size_t(g - 1)][c] += v;
      last[size_t(g - 1)][c] = v;
    }
    std::vector<int32_t> global;
    for (int32_t q : cols) global.push_back(perm[size_t(q - 1)]);
    std::sort(global.begin(), global.end());
    for (int32_t c : global) vectorld_one_more(&A.data[g - 1], c, 0.0);
  }
  auto check = [&](const std::vector<std::map<int32_t, double>> &want) {
    for (int32_t g = 1; g <= n; g++) {
      const vectorld *row = &A.data[g - 1];
      ASSERT_EQ(size_t(row->count), want[size_t(g - 1)].size());
      for (int32_t k = 0; k < row->count; k++) EXPECT_EQ(row->values[k], want[size_t(g - 1)].at(row->keys[k]));
    }
  };
  bigmatx_copyto(&b, &A, 1, 1, &B);
  check(last);
  for (int32_t g = 1; g <= n; g++) std::fill(A.data[g - 1].values, A.data[g - 1].values + A.data[g - 1].count, 0.0);
  bigmatx_addto(&b, &A, 1, 1, &B);
  check(sum);
  // A column twice in one global row: row of node 1 gets columns c, c, d.
  vectorld *g1 = &A.data[perm[0] - 1];
  int32_t c = perm[1], d = perm[2];
  g1->count = 0;
  for (int32_t k : {std::min(c, d), std::max(c, d)}) {
    vectorld_one_more(g1, k, 0.0);
    if (k == c) vectorld_one_more(g1, k, 0.0);
  }
  int32_t first = c < d ? 0 : 1;
  B.data[0].count = 0;
  for (auto [q, v] : {std::pair{2, 1.0}, {2, 2.0}, {3, 4.0}, {2, 8.0}}) vectorld_one_more(&B.data[0], q, v);
  bigmatx_addto(&b, &A, 1, 1, &B);
  EXPECT_EQ(g1->values[first], 1.0 + 8.0);
  EXPECT_EQ(g1->values[first + 1], 2.0);
  EXPECT_EQ(g1->values[c < d ? 2 : 0], 4.0);
  // A column the global row lacks, though earlier rows had it at that place.
  vectorld_one_more(&B.data[1], 1, 1.0);
  vectorld *g2 = &A.data[perm[1] - 1];
  int32_t at = bigmatx_find(g2->keys, g2->count, perm[0]);
  if (at >= 0) {
    for (int32_t k = at; k + 1 < g2->count; k++) g2->keys[k] = g2->keys[k + 1], g2->values[k] = g2->values[k + 1];
    g2->count--;
  }
  EXPECT_EQ(fatal_stop([&] { bigmatx_copyto(&b, &A, 1, 1, &B); }), "MISSING ELEMENT IN bigmatx_copyto");
  sparsemx_free(&A, 1);
  sparsemx_free(&B, 1);
  vectorl_free(&counts);
  bigmatx_free(&b);
}

// The symmetry trial: a symmetric matrix passes whatever the trial vectors; one entry
// off its mirror by a relative 1e-3 fails at tolerance 1e-6 and passes at 1e-2: A x and
// A^t x then differ by 1e-3 (x3, -x2) in rows 3 and 2 alone, some 1e-5 to 1e-4 of |A x|
// for trial values of order 1 and rows of diagonal 4.
TEST(SymmetryTrial, MirrorEntriesDecide) {
  std::mt19937 rng(7);
  const int32_t n = 40;
  std::uniform_real_distribution<double> u(-1, 1);
  sparsemx A{};
  sparsemx_resize_0(&A, n, n);
  std::vector<std::vector<double>> d(n, std::vector<double>(n, 0.0));
  for (int32_t i = 0; i < n; i++) {
    d[size_t(i)][size_t(i)] = 4;
    for (int32_t j = 0; j < i; j++)
      if (rng() % 4 == 0) d[size_t(i)][size_t(j)] = d[size_t(j)][size_t(i)] = u(rng);
  }
  for (int32_t i = 1; i <= n; i++)
    for (int32_t j = 1; j <= n; j++)
      if (d[size_t(i - 1)][size_t(j - 1)] != 0) vectorld_one_more(&A.data[i - 1], j, d[size_t(i - 1)][size_t(j - 1)]);
  vectord scales{};
  vectord_resize(&scales, 1, 1);
  scales.data[0] = 4.0;
  EXPECT_TRUE(loading_check_symmetry(&A, &scales, 1e-12, 1, n));
  // Entry (3, 2) made 1.001 times its mirror (2, 3), both present.
  int32_t at2 = bigmatx_find(A.data[2].keys, A.data[2].count, 2);
  if (at2 < 0) {
    vectorld_insert(&A.data[2], 2, 1.0);
    vectorld_insert(&A.data[1], 3, 1.0);
    at2 = bigmatx_find(A.data[2].keys, A.data[2].count, 2);
  }
  int32_t at3 = bigmatx_find(A.data[1].keys, A.data[1].count, 3);
  A.data[2].values[at2] = A.data[1].values[at3] = 1.0;
  EXPECT_TRUE(loading_check_symmetry(&A, &scales, 1e-12, 1, n));
  A.data[2].values[at2] = 1.001;
  EXPECT_FALSE(loading_check_symmetry(&A, &scales, 1e-6, 1, n));
  EXPECT_TRUE(loading_check_symmetry(&A, &scales, 1e-2, 1, n));
  sparsemx_free(&A, 1);
  vectord_free(&scales);
}
