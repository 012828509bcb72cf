// Sparse matrices: entry access, whole-matrix operations and products against dense
// images, the incomplete factorisations against exact solves (and Octave's ichol),
// the block preconditioner, the reordering, the power iteration against analytic
// eigenvalues, and the debug listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>

#include "runtime/bopmem.h"
#include "tests/solver/sparse_fixture.h"

namespace {

TEST(Sparsemx, EntryAccess) {
  Sparse m, none;
  sparsemx_new(&m, 3, 3);
  for (auto [j, v] : {std::pair{5, 1.5}, {2, 1.2}, {9, 1.9}, {5, 2.5}}) sparsemx_store(&m, 1, j, v);
  EXPECT_EQ(std::vector<int32_t>(m.data[0].keys, m.data[0].keys + m.data[0].count), (std::vector<int32_t>{2, 5, 9}));
  EXPECT_EQ(sparsemx_fetch(&m, 1, 5), 2.5);
  for (auto [i, j] : {std::pair{1, 4}, {1, 1}, {1, 10}, {2, 2}, {4, 1}, {0, 1}}) EXPECT_EQ(sparsemx_fetch(&m, i, j), 0.0);
  EXPECT_EQ(sparsemx_addto_0(&m, 1, 5, 1.0), 3.5);
  EXPECT_EQ(sparsemx_addto_0(&m, 3, 1, 0.25), 0.25);
  EXPECT_EQ(fatal_stop([&] { sparsemx_store(&m, 4, 1, 1.0); }), "BAD MATRIX MAP ROW IN sparsemx_store_0");
  EXPECT_EQ(fatal_stop([&] { sparsemx_new(&m, 3, 3); }), "NEW LMAP ALREADY ALLOCATED IN sparsemx_new_0");
  EXPECT_EQ(fatal_stop([&] { sparsemx_addto_0(&none, 1, 1, 1.0); }), "BAD MATRIX IN sparsemx_addto_0");
  // A row longer than 16-bit positions can count.
  for (int32_t j = 1; j <= 70000; j++)
    if (j != 68001) sparsemx_store(&m, 2, j, j);
  sparsemx_store(&m, 2, 68001, -1.0);
  EXPECT_EQ(sparsemx_addto_0(&m, 2, 69999, 1.0), 70000.0);
  EXPECT_EQ(sparsemx_fetch(&m, 2, 68001), -1.0);
  EXPECT_EQ(sparsemx_fetch(&m, 2, 68002), 68002.0);
  EXPECT_EQ(m.data[1].count, 70000);
}

TEST(Sparsemx, WholeMatrixOperations) {
  Dense a = {{4, 1, 0, 2}, {1, 5, 3, 0}, {0, 3, 6, 1}, {2, 0, 1, 7}};
  Sparse m(a), n, s;
  sparsemx_copyto_0(&n, &m);
  sparsemx_clear_rowcol(&n, 2, 9.0);
  Dense c = n.dense();
  EXPECT_EQ(c[1], (std::vector<double>{0, 9, 0, 0}));
  EXPECT_EQ(c[0][1] + c[2][1] + c[3][1], 0.0);
  EXPECT_EQ(c[3], a[3]);
  // symmetrize, reorder by a reversal, remap into the pattern.
  sparsemx_store(&n, 1, 2, 3.0);
  sparsemx_store(&n, 2, 1, 5.0);
  sparsemx_image(&s, &n);
  sparsemx_symmetrize(&s, &n);
  EXPECT_EQ(sparsemx_fetch(&s, 1, 2) * 10 + sparsemx_fetch(&s, 2, 1), 44.0);
  vectorl p{};
  for (int32_t k : {4, 3, 2, 1}) vectorl_one_more(&p, k);
  sparsemx_copy_reorder(&s, &m, &p);
  EXPECT_EQ(sparsemx_fetch(&s, 4, 1), a[0][3]);
  sparsemx_store(&s, 2, 4, 0.0);  // zero without a place: skipped
  sparsemx_copy_remap(&n, &s);
  EXPECT_EQ(n.dense()[3][2], a[0][1]);
  sparsemx_store(&s, 1, 3, 8.0);  // nonzero without a place: stops
  EXPECT_EQ(fatal_stop([&] { sparsemx_copy_remap(&m, &s); }), "CAN'T COPYTO IN sparsemx_copy_remap_0");
  sparsemx_resize_0(&s, 3, 4);  // size errors
  EXPECT_EQ(fatal_stop([&] { sparsemx_addto_1(&m, &s, 1.0); }), "MATRIX SIZE MISMATCH IN sparsemx_addto_1");
  EXPECT_EQ(fatal_stop([&] { sparsemx_copy_reorder(&m, &s, &p); }), "SIZE MISMATCH IN sparsemx_copy_reorder_0");
  Vec x({1, 2, 3});
  EXPECT_EQ(fatal_stop([&] { sparsemx_mv_0(&x, &m, &x); }), "VECTOR LENGTH ERROR IN sparsemx_mv_0");
  vectorl_free(&p);
}

TEST(Sparsemx, ProductsAgreeWithDense) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-1, 1);
  int n = 30;
  Dense a(n, std::vector<double>(n, 0.0));
  std::vector<double> xs(n), ys(n);
  for (int i = 0; i < n; i++) {
    xs[i] = u(rng), ys[i] = u(rng);
    for (double &v : a[i]) v = rng() % 4 ? 0.0 : u(rng);
  }
  Sparse m(a);
  Vec x(xs);
  using Op = void (*)(vectord *, double, const sparsemx *, const vectord *);
  for (auto [op, transposed, sum] : {std::tuple<Op, bool, bool>{sparsemx_mv_1, false, false},
                                     {sparsemx_mvsum_1, false, true},
                                     {sparsemx_mtv_1, true, false},
                                     {sparsemx_mtvsum_1, true, true}}) {
    Vec y(ys);
    op(&y, -0.5, &m, &x);
    for (int i = 0; i < n; i++) {
      double s = sum ? ys[i] : 0.0;
      for (int k = 0; k < n; k++) s += -0.5 * (transposed ? a[k][i] : a[i][k]) * xs[k];
      EXPECT_NEAR(y.data[i], s, 1e-14);
    }
  }
  // The single product sums each row as the block product's one column does: the same bits.
  Vec y(ys);
  std::vector<double> yb(static_cast<size_t>(n));
  sparsemx_mv_0(&y, &m, &x);
  sparsemx_mv_block(yb.data(), &m, x.data, 1);
  EXPECT_EQ(std::memcmp(y.data, yb.data(), sizeof(double) * size_t(n)), 0);
  // A x + D z for D on A's layout (A's entries and the diagonal, other values): the bits of
  // the two products taken one after the other, and the dense sums. One entry more is
  // another layout.
  Dense d(a), wider(a);
  for (int i = 0; i < n; i++)
    for (int k = 0; k < n; k++) d[i][k] = a[i][k] != 0 || i == k ? u(rng) : 0.0;
  wider[0][n - 1] = wider[0][n - 1] != 0 ? 0.0 : 1.0;
  Sparse md(d), mw(wider);
  EXPECT_TRUE(sparsemx_same_layout(&m, &md));
  EXPECT_FALSE(sparsemx_same_layout(&m, &mw));
  Vec zs(ys), two, apart;
  sparsemx_mv_pair(&two, &m, &x, &md, &zs);
  sparsemx_mv_0(&apart, &m, &x);
  sparsemx_mvsum_0(&apart, &md, &zs);
  EXPECT_EQ(std::memcmp(two.data, apart.data, sizeof(double) * size_t(n)), 0);
  for (int i = 0; i < n; i++) {
    double s = 0;
    for (int k = 0; k < n; k++) s += a[i][k] * xs[k] + d[i][k] * ys[k];
    EXPECT_NEAR(two.data[i], s, 1e-14);
  }
  // The fingerprint tells a value's last bit, the pattern's print does not; both tell an
  // entry more.
  Sparse copy(a);
  uint64_t print = sparsemx_fingerprint(&m), pattern = sparsemx_pattern_print(&m);
  EXPECT_EQ(sparsemx_fingerprint(&copy), print);
  copy.data[n / 2].values[0] = std::nextafter(copy.data[n / 2].values[0], 9.0);
  EXPECT_NE(sparsemx_fingerprint(&copy), print);
  EXPECT_EQ(sparsemx_pattern_print(&copy), pattern);
  EXPECT_NE(sparsemx_pattern_print(&mw), pattern);
  // Two entries that only changed sign (a symmetric pair turned over) are another matrix.
  Sparse turned(a);
  turned.data[0].values[0] = -turned.data[0].values[0];
  turned.data[n - 1].values[0] = -turned.data[n - 1].values[0];
  EXPECT_NE(sparsemx_fingerprint(&turned), print);
  Vec z;
  double want = 0;
  for (auto &r : a) want = std::max(want, std::accumulate(r.begin(), r.end(), 0.0, [](double t, double v) { return t + std::fabs(v); }));
  EXPECT_NEAR(sparsemx_norm_l1(&m, &z), want, 1e-14);
}

TEST(Sparsemx, ScalingsSumsAndPatterns) {
  Dense a = {{0, 2, 0, 1}, {3, 4, 0, 0}, {0, 0, 5, 6}, {7, 0, 0, 8}};  // row 1 without diagonal
  Sparse m(a), band, env;
  Vec v({1, 2, 4, 8}), r;
  sparsemx_pre_scale_matrix(&m, &v);
  sparsemx_post_unscale_matrix(&m, &v);  // m(i,j) = a(i,j) v(i)/v(j)
  sparsemx_rowsum(&r, &m);
  EXPECT_EQ(r(4), 7 * 8 + 8.0);
  sparsemx_post_scale_matrix(&m, &v);
  sparsemx_pre_unscale_matrix(&m, &v);
  EXPECT_EQ(m.dense(), a);
  sparsemx_colsum(&r, &m);
  EXPECT_EQ(r(1) * 100 + r(4), 10 * 100 + 15.0);
  sparsemx_diag_dip(&r, &m, 0);  // 1/diagonal, else the inverse row norm
  EXPECT_EQ(std::vector<double>(r.data, r.data + 4), (std::vector<double>{1 / std::sqrt(5.0), 0.25, 0.2, 0.125}));
  for (uint8_t sym : {0, 1}) {  // the diagonal given (0 where absent) as found
    const double diag[4] = {0, 4, 5, 8};
    Vec found, given;
    sparsemx_diag_dip(&found, &m, sym);
    sparsemx_diag_dip_given(&given, &m, diag, sym);
    EXPECT_EQ(std::memcmp(found.data, given.data, 4 * sizeof(double)), 0) << int(sym);
  }
  sparsemx_ata_dip_1(&r, &m, &m, 0.5, 0.5, 1);  // 1/|column|
  EXPECT_DOUBLE_EQ(r(1), 1 / std::sqrt(9.0 + 49));
  sparsemx_make_band_0(&band, &m, 2, nullptr);  // |j - i| <= 1, zeros stored
  EXPECT_EQ(band.data[0].count + band.data[1].count + band.data[3].count, 2 + 3 + 2);
  EXPECT_EQ(band.dense()[1], (std::vector<double>{3, 4, 0, 0}));
  Sparse e({{1, 1, 0, 0}, {0, 1, 1, 0}, {1, 0, 1, 0}, {0, 0, 0, 1}});
  sparsemx_map_fillin_0(&env, &e);  // rows from min first column below to max last column above
  for (auto [i, lo, hi] : {std::tuple{1, 1, 2}, {2, 1, 3}, {3, 1, 3}, {4, 4, 4}}) {
    EXPECT_EQ(env.data[i - 1].keys[0], lo);
    EXPECT_EQ(env.data[i - 1].keys[env.data[i - 1].count - 1], hi);
  }
}

// A random SPD band matrix with every band position stored.
Dense spd_band(int n, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.1, 1);
  Dense a(n, std::vector<double>(n, 0.0));
  for (int i = 0; i < n; i++) {
    for (int j = std::max(0, i - h); j < i; j++) a[i][j] = a[j][i] = -u(rng);
    a[i][i] = 2 * h + u(rng);
  }
  return a;
}

TEST(Sparsemx, FullBandFactorsAreExact) {
  int n = 40;
  std::vector<double> bs(n);
  for (int i = 0; i < n; i++) bs[i] = std::sin(i + 1.0);
  Vec b(bs), x, d;
  // Incomplete Cholesky on the full band is the Cholesky factor.
  Dense a = spd_band(n, 4, 1);
  Sparse l(a);
  ASSERT_TRUE(sparsemx_inchol_factor_0(&l, n));
  sparsemx_inchol_solve(&x, &l, &b);
  EXPECT_LT(max_rel_error(x, dense_solve(a, bs)), 1e-12);
  // Incomplete LU of a nonsymmetric full band: A^-1 b and A^-t b.
  for (int i = 0; i < n; i++)
    for (int j = i + 1; j < n; j++) a[i][j] *= 1.5 + 0.1 * (i % 3);
  Sparse lu(a);
  ASSERT_TRUE(sparsemx_inclu_factor_0(&lu, &d));
  sparsemx_inclu_solve(&x, &lu, &d, &b);
  EXPECT_LT(max_rel_error(x, dense_solve(a, bs)), 1e-12);
  sparsemx_inclu_solvet(&x, &lu, &d, &b);
  EXPECT_LT(max_rel_error(x, dense_solve(a, bs, true)), 1e-12);
}

// Octave's ichol (no fill) of a random SPD 5-point matrix, every stored entry nonzero.
TEST(Sparsemx, IncholMatchesOctave) {
  if (system("command -v octave-cli >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "octave-cli not found (Debian package octave): ichol comparison skipped";
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0.5, 1.5);
  Dense a = five_point(7);
  TempDir dir;
  FILE *f = fopen(dir.file("a.txt").c_str(), "w");
  for (size_t i = 0; i < a.size(); i++) {
    for (size_t j = 0; j < i; j++)
      if (a[i][j] != 0) a[i][j] = a[j][i] = -u(rng);
    a[i][i] = 6.5;
  }
  for (size_t i = 0; i < a.size(); i++)
    for (size_t j = 0; j < a.size(); j++)
      if (a[i][j] != 0) fprintf(f, "%zu %zu %.17g\n", i + 1, j + 1, a[i][j]);
  fclose(f);
  std::string script = "T = load('" + dir.file("a.txt") + "'); L = ichol(sparse(T(:,1), T(:,2), T(:,3))); " +
                       "[i, j, v] = find(L); f = fopen('" + dir.file("l.txt") + "', 'w'); " +
                       "fprintf(f, '%d %d %.17g\\\\n', [i j v]'); fclose(f);";
  ASSERT_EQ(system(("octave-cli -q --eval \"" + script + "\" >/dev/null 2>&1").c_str()), 0);
  Sparse m(a);
  ASSERT_TRUE(sparsemx_inchol_factor_0(&m, m.rows));
  f = fopen(dir.file("l.txt").c_str(), "r");
  int i, j, count = 0;
  for (double v; fscanf(f, "%d %d %lf", &i, &j, &v) == 3; count++) {
    double ours = sparsemx_fetch(&m, i, j);  // the diagonal holds 1/L(i,i)
    EXPECT_NEAR(i == j ? 1 / ours : ours, v, 1e-12 * std::max(1.0, std::fabs(v))) << i << " " << j;
  }
  fclose(f);
  EXPECT_EQ(count, 49 + 2 * 7 * 6);  // the diagonal and one entry per grid edge
}

TEST(Sparsemx, FailedPivots) {
  struct Case {
    Dense a;
    int32_t nf;
    bool ok;
    const char *log;
  } cases[] = {
      {{{1, 1}, {1, 1}}, 2, false, "SINGULAR MATRIX IN INCHOL_FAC ROW 2 = 0\n"},
      {{{1, 2}, {2, 1}}, 2, false, "NEGATIVE MATRIX IN INCHOL_FAC ROW 2 = -3\n"},
      {{{1, 2}, {2, 1}}, 1, true, "NEGATIVE MATRIX IN INCHOL_FAC ROW 2 = -3\n"},
  };
  for (const Case &c : cases) {
    DebugCapture log;
    Sparse m(c.a);
    EXPECT_EQ(sparsemx_inchol_factor_0(&m, c.nf), c.ok);
    EXPECT_EQ(log.text(), c.log);
    EXPECT_DOUBLE_EQ(sparsemx_fetch(&m, 2, 2), c.ok ? 1 / std::sqrt(3.0) : sparsemx_fetch(&m, 2, 2));
  }
  DebugCapture log;
  Sparse m({{2, 1}, {4, 2}});
  Vec d;
  EXPECT_FALSE(sparsemx_inclu_factor_0(&m, &d));
  EXPECT_EQ(log.text(), "SINGULAR MATRIX IN INCLU_FAC ROW 2 = 0\n");
}

TEST(Sparsemx, BlockInverses) {
  int m = 4, nb = 3;
  Sparse a(spd_band(14, 5, 7)), p;
  Vec v(std::vector<double>(14, 6.0));
  Mat da, dp, ma, mam;
  sparsemx_explode(&da, &a);
  for (uint8_t sym : {0, 1}) {
    sparsemx_diag_bip(&p, &a, &v, uint16_t(m), nb, sym);
    sparsemx_explode(&dp, &p);
    EXPECT_EQ(dp(13, 13), sym ? std::sqrt(2.0) : 2.0);  // v(r)/nb past the blocks
    matrixd_mm_2(&ma, &dp, &da);
    matrixd_mm_2(&mam, &ma, &dp);
    for (int k = 0; k < nb; k++) {  // block k of M A, or of M A M
      Mat blk(m, m);
      for (int i = 1; i <= m; i++)
        for (int j = 1; j <= m; j++) blk(i, j) = (sym ? mam : ma)(k * m + i, k * m + j);
      EXPECT_LT(dist_to_identity(blk), 1e-12) << int(sym) << " " << k;
    }
  }
}

int32_t bandwidth(const sparsemx &g) {
  int32_t w = 0;
  for (int32_t i = 1; i <= g.rows; i++)
    for (int32_t k = 0; k < g.data[i - 1].count; k++) w = std::max(w, std::abs(g.data[i - 1].keys[k] - i));
  return w;
}

// The node links of an m x m grid of squares cut into triangles, nodes numbered by num.
Dense grid_links(int m, const std::vector<int32_t> &num) {
  Dense g(m * m, std::vector<double>(m * m, 0.0));
  for (int y = 0; y < m; y++)
    for (int x = 0; x < m; x++)
      for (auto [dx, dy] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}})
        if (x + dx < m && y + dy < m)
          g[num[y * m + x] - 1][num[(y + dy) * m + x + dx] - 1] = g[num[(y + dy) * m + x + dx] - 1][num[y * m + x] - 1] = 1;
  return g;
}

TEST(Sparsemx, BandminNarrowsTheBand) {
  vectorl perm{}, inv{};
  {  // A path keeps its order.
    Dense path(50, std::vector<double>(50, 0.0));
    for (int i = 1; i < 50; i++) path[i][i - 1] = path[i - 1][i] = 1;
    Sparse g(path);
    sparsemx_bandmin(&perm, &inv, &g, 0);
    for (int32_t i = 1; i <= 50; i++) EXPECT_EQ(perm.data[i - 1], i);
  }
  // A randomly numbered grid triangulation.
  int m = 30;
  std::vector<int32_t> num(m * m), renum(m * m);
  for (int i = 0; i < m * m; i++) num[i] = i + 1;
  std::shuffle(num.begin(), num.end(), std::mt19937(3));
  for (uint16_t mode : {0, 1}) {
    Sparse g(grid_links(m, num));
    int32_t before = bandwidth(g);
    sparsemx_bandmin(&perm, &inv, &g, mode);
    EXPECT_GE(before, (mode == 0 ? 4 : 1) * bandwidth(g)) << before << " -> " << bandwidth(g);
    for (int32_t i = 1; i <= m * m; i++) ASSERT_EQ(inv.data[perm.data[i - 1] - 1], i);
    for (int i = 0; i < m * m; i++) renum[i] = perm.data[num[i] - 1];
    EXPECT_EQ(g.dense(), grid_links(m, renum));  // the same graph, renumbered by perm
  }
  Sparse g;
  sparsemx_new(&g, 2, 2);
  sparsemx_store(&g, 1, 1, 1);
  EXPECT_EQ(fatal_stop([&] { sparsemx_bandmin(&perm, &inv, &g, 0); }), "UNLINKED NODE IN sparsemx_bandmin_0");
  vectorl_free(&perm);
  vectorl_free(&inv);
}

// Bit for bit, including the sign of a zero.
bool same_bits(const double *a, const double *b, size_t n) { return std::memcmp(a, b, n * sizeof(double)) == 0; }

// Every row of M borrows from M's block, right after the row before it.
bool one_block(const sparsemx &m) {
  int64_t at = 0;
  for (int32_t i = 1; i <= m.rows; i++) {
    const vectorld &r = m.data[i - 1];
    if (r.count == 0) continue;
    if (r.capacity >= 0 || r.keys != m.keyblock + at || r.values != m.valblock + at) return false;
    at += r.count;
  }
  return true;
}

// A random pattern with empty rows, held with every row in arrays of its own (built
// entry by entry) and laid out in one block (its copy): every product and the
// incomplete-Cholesky solves, single and on blocks of vectors, give the same bits.
TEST(Sparsemx, OneBlockLayoutGivesTheRowKernelsBits) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> u(-1, 1);
  int32_t n = 240;
  Sparse apart, packed;
  sparsemx_new(&apart, n, n);
  for (int32_t i = 1; i <= n; i++)
    for (int32_t j = 1; j <= n && i % 31; j++)
      if (rng() % 19 == 0) sparsemx_store(&apart, i, j, u(rng));
  sparsemx_copyto_0(&packed, &apart);
  ASSERT_TRUE(one_block(packed));
  ASSERT_TRUE(apart.data[0].capacity > 0 && packed.data[30].count == 0);
  std::vector<double> xs(n), ys(n);
  for (int32_t i = 0; i < n; i++) xs[i] = u(rng), ys[i] = u(rng);
  Vec x(xs);
  using Op = void (*)(vectord *, double, const sparsemx *, const vectord *);
  for (Op op : {Op(sparsemx_mv_1), Op(sparsemx_mvsum_1), Op(sparsemx_mtv_1), Op(sparsemx_mtvsum_1)}) {
    Vec y1(ys), y2(ys);
    op(&y1, -0.7, &apart, &x);
    op(&y2, -0.7, &packed, &x);
    EXPECT_TRUE(same_bits(y1.data, y2.data, n));
  }
  // An SPD matrix on a random symmetric pattern, factored in both layouts.
  Dense a(n, std::vector<double>(n, 0.0));
  for (int32_t i = 0; i < n; i++) {
    for (int32_t j = 0; j < i; j++)
      if (rng() % 13 == 0) a[i][j] = a[j][i] = -std::fabs(u(rng));
    a[i][i] = 1.0;
  }
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j < n; j++) a[i][i] += i == j ? 0.0 : std::fabs(a[i][j]);
  Sparse lapart(a), lpacked;
  sparsemx_copyto_0(&lpacked, &lapart);
  ASSERT_TRUE(sparsemx_inchol_factor_0(&lapart, n) && sparsemx_inchol_factor_0(&lpacked, n));
  ASSERT_TRUE(one_block(lpacked));
  Vec f1, f2, b1, b2;
  sparsemx_inchol_forward(&f1, &lapart, &x);
  sparsemx_inchol_forward(&f2, &lpacked, &x);
  sparsemx_inchol_back(&b1, &lapart, &f1);
  sparsemx_inchol_back(&b2, &lpacked, &f2);
  EXPECT_TRUE(same_bits(f1.data, f2.data, n) && same_bits(b1.data, b2.data, n));
  // Blocks of w vectors (one tile, several, wider than one pass), in two lanes and in
  // the processor's: each vector gets the bits of its single products and solves.
  for (uint8_t lanes : {2, 0})
    for (int32_t w : {1, 3, 16, 18, 23, 41}) {
      sparsemx_block_lanes = lanes;
      std::vector<double> xb(size_t(n) * w), y1(xb.size()), y2(xb.size());
      for (double &v : xb) v = u(rng);
      sparsemx_mv_block(y1.data(), &apart, xb.data(), w);
      sparsemx_inchol_forward_block(y2.data(), &lpacked, xb.data(), w);
      sparsemx_inchol_back_block(y2.data(), &lpacked, y2.data(), w);
      sparsemx_block_lanes = 0;
      for (int32_t t = 0; t < w; t++) {
        Vec xt{std::vector<double>(n)}, mt, st;
        for (int32_t i = 0; i < n; i++) xt.data[i] = xb[size_t(i) * w + t];
        sparsemx_mv_0(&mt, &packed, &xt);
        sparsemx_inchol_solve(&st, &lapart, &xt);
        for (int32_t i = 0; i < n; i++) {
          ASSERT_TRUE(same_bits(&mt.data[i], &y1[size_t(i) * w + t], 1)) << int(lanes) << " " << w << " " << t;
          ASSERT_TRUE(same_bits(&st.data[i], &y2[size_t(i) * w + t], 1)) << int(lanes) << " " << w << " " << t;
        }
      }
    }
}

// A matrix laid out in one block whose pattern then grows: the grown rows take arrays of
// their own, the others stay; copies and images reuse the block or replace it, and
// everything is released.
TEST(Sparsemx, OneBlockRowsGrowIntoArraysOfTheirOwn) {
  int64_t before = XMEM;
  {
    Dense a = five_point(4);
    Sparse m(a), c;
    sparsemx_pack(&m);
    ASSERT_TRUE(one_block(m));
    EXPECT_EQ(m.dense(), a);
    a[0][15] = 2.5, a[15][0] = -1.5, a[4][4] = 8.0, a[6][0] = 0.25;
    sparsemx_store(&m, 1, 16, 2.5);
    sparsemx_addto_0(&m, 16, 1, -1.5);
    sparsemx_store(&m, 5, 5, 8.0);
    sparsemx_store(&m, 7, 1, 0.25);
    EXPECT_EQ(m.dense(), a);
    EXPECT_TRUE(m.data[0].capacity > 0 && m.data[15].capacity > 0 && m.data[6].capacity > 0);
    EXPECT_TRUE(m.data[4].capacity < 0 && m.data[4].keys > m.keyblock && m.data[4].keys < m.keyblock + m.blocksize);
    // The products of the mixed layout against the dense ones (small integers: exact).
    std::vector<double> xs(16);
    for (int i = 0; i < 16; i++) xs[i] = i - 5;
    Vec x(xs), y;
    sparsemx_mv_0(&y, &m, &x);
    for (int i = 0; i < 16; i++)
      EXPECT_EQ(y.data[i], std::inner_product(a[i].begin(), a[i].end(), xs.begin(), 0.0)) << i;
    // A copy of the grown pattern is one block again; a smaller image reuses it.
    sparsemx_copyto_1(&c, &m, 2.0);
    ASSERT_TRUE(one_block(c));
    EXPECT_EQ(sparsemx_fetch(&c, 16, 1), -3.0);
    EXPECT_EQ(c.blocksize, 16 + 48 + 3);  // the 4 x 4 Laplacian and three new entries
    const int32_t *block = c.keyblock;
    Sparse plain(five_point(4));
    sparsemx_image(&c, &plain);
    EXPECT_TRUE(c.keyblock == block && c.blocksize == 67 && one_block(c));
    EXPECT_EQ(sparsemx_fetch(&c, 16, 1) + sparsemx_fetch(&c, 1, 1) + sparsemx_fetch(&c, 16, 12), 0.0);
    Sparse tiny(five_point(1));
    sparsemx_image(&c, &tiny);
    EXPECT_TRUE(c.keyblock != block && one_block(c));
    EXPECT_EQ(c.dense(), (Dense{{0.0}}));
  }
  EXPECT_EQ(XMEM, before);
}

// Renumbering moves each row with its values and renames its keys, rows ascending;
// renumbering by the inverse pair gives back the first rows, entry for entry.
TEST(Sparsemx, RenumberMovesRowsAndBack) {
  int32_t n = 40;
  std::mt19937 rng(8);
  Dense d(n, std::vector<double>(n, 0.0));
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j < n; j++)
      if (i == j || rng() % 5 == 0) d[i][j] = 1000.0 * (i + 1) + (j + 1);
  std::vector<int32_t> p(n);
  std::iota(p.begin(), p.end(), 1);
  std::shuffle(p.begin(), p.end(), rng);
  vectorl at{}, from{};
  for (int32_t i = 0; i < n; i++) vectorl_one_more(&at, p[i]);
  vectorl_resize(&from, n, n);
  for (int32_t i = 1; i <= n; i++) from.data[p[i - 1] - 1] = i;
  Sparse g(d), first(d);
  sparsemx_renumber(&g, &at, &from);
  for (int32_t k = 1; k <= n; k++)
    for (int32_t e = 1; e < g.data[k - 1].count; e++) ASSERT_LT(g.data[k - 1].keys[e - 1], g.data[k - 1].keys[e]);
  Dense want(n, std::vector<double>(n, 0.0));
  for (int32_t i = 0; i < n; i++)
    for (int32_t j = 0; j < n; j++) want[p[i] - 1][p[j] - 1] = d[i][j];
  EXPECT_EQ(g.dense(), want);
  sparsemx_renumber(&g, &from, &at);
  for (int32_t i = 1; i <= n; i++) {
    const vectorld &a = g.data[i - 1], &b = first.data[i - 1];
    ASSERT_EQ(a.count, b.count) << i;
    EXPECT_TRUE(std::equal(a.keys, a.keys + a.count, b.keys) && std::equal(a.values, a.values + a.count, b.values)) << i;
  }
  vectorl_resize(&at, n - 1, n);
  EXPECT_EQ(fatal_stop([&] { sparsemx_renumber(&g, &at, &from); }), "VECTOR LENGTH ERROR IN sparsemx_renumber");
  vectorl_free(&at), vectorl_free(&from);
}

TEST(Sparsemx, BigEigenOfTridiagonal) {
  for (auto [n, want] : {std::pair{10, 3.9189859472}, {100, 3.9990325646}}) {
    Dense t(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; i++) t[i][i] = 2, t[i][std::max(i - 1, 0)] = t[std::max(i - 1, 0)][i] = i ? -1 : 2;
    Sparse s(t);
    EXPECT_NEAR(sparsemx_big_eigen(&s, 0, 1, 1e-8, 0), want, 0.01 * want);
    EXPECT_NEAR(sparsemx_big_eigen(&s, 0, 1, 1e-8, 1), want, 0.01 * want);
    // From the alternating start, then again from the iterate the first left.
    vectord x{};
    vectord_resize(&x, n, n);
    for (int32_t i = 0; i < n; i++) x.data[i] = i % 2 ? -1.0 : 1.0;
    EXPECT_NEAR(sparsemx_big_eigen_from(&s, &x, 1e-8, 0), want, 0.01 * want);
    EXPECT_NEAR(sparsemx_big_eigen_from(&s, &x, 1e-8, 1), want, 0.01 * want);
    vectord_resize(&x, n - 1, n);
    EXPECT_EQ(fatal_stop([&] { sparsemx_big_eigen_from(&s, &x, 1e-8, 0); }), "START SIZE IN sparsemx_big_eigen_1");
    vectord_free(&x);
    sparsemx_clear(&s);
    EXPECT_EQ(sparsemx_big_eigen(&s, 0, 1, 1e-8, 0), 0.0);
  }
}

TEST(Sparsemx, DebugListings) {
  Dense a(130, std::vector<double>(130, 0.0));
  for (int i = 0; i < 130; i++) {
    a[i][i] = i + 1;
    a[i][(i * 7) % 130] = 0.5;
    if (i < 8) a[0][i] = 1.0 / (i + 1);
  }
  Sparse m(a);
  String t = {5, 0, const_cast<char *>("TITLE")};
  FILE *f = tmpfile();
  m.rows = 7;  // the first rows, but the picture of all
  sparsemx_print(f, &m, &t);
  sparsemx_print_map(f, &m, &t);
  sparsemx_map_diag(f, &m, &t);
  m.rows = 130;
  sparsemx_map_map(f, &m, &t);
  rewind(f);
  std::string out, raw = slurp_stream(f);
  fclose(f);
  for (size_t k = 0; k < raw.size(); k++) {  // row addresses masked
    out += raw[k];
    if (raw[k] != '@') continue;
    out += "ADDR";
    while (k + 1 < raw.size() && isxdigit(raw[k + 1])) k++;
  }
  expect_golden("solver/sparsemx_listings.txt", out);
}

}  // namespace
