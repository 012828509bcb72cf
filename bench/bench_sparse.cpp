// Sparse kernels against the streaming bound, and the growth of ICCG iteration counts.
//
// 1. sparsemx_mv_0, sparsemx_mtv_0 and the incomplete-Cholesky forward+back pair on
//    four patterns: the link pattern of a structured 400 x 400 tri6 mesh (graph
//    Laplacian plus identity, 801^2 = 641,601 nodes), the 800^2 5-point Laplacian,
//    the tri6 links of 160 x 160 cells (103,041 nodes) and the links of 24 x 24 x 23
//    quadratic prisms (112,847 nodes, about 46 a row); each with its rows in two
//    layouts: as a matrix copy lays them out (sparsemx_copyto_0) and each row in
//    arrays of its own, allocated row after row. The block kernels (mat-vec and the
//    forward+back pair on w = 1, 2, 4, 8, 16, 18 interleaved vectors, as block CG runs
//    them) on the tri6 and prism patterns. Bytes counted: 12 per stored entry + 16
//    per row (w times for the vectors of a block), so the rates compare with the
//    z = a x + y rate at 10^7 (24 bytes per element) run beside them.
// 2. ICCG on the 5-point Laplacian for 64 to 512 points per side, the budget never
//    binding: the counters give the iterations and the time per iteration, and the
//    last entry the fitted exponents (count ~ h^-p, time per iteration ~ n^q).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "graphics/display.h"
#include "runtime/vector2d.h"
#include "runtime/vectorld.h"
#include "runtime/vectord.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

namespace {

struct Matrix {
  sparsemx a{}, l{};
  int64_t entries = 0;
  ~Matrix() {
    sparsemx_free(&a, 1);
    sparsemx_free(&l, 1);
  }
  // The rows as a matrix copy lays them out; then the incomplete-Cholesky factor of
  // a copy.
  void finish() {
    sparsemx built = a;
    a = {};
    sparsemx_copyto_0(&a, &built);
    sparsemx_free(&built, 1);
    for (int32_t i = 1; i <= a.rows; i++) entries += a.data[i - 1].count;
    sparsemx_copyto_0(&l, &a);
    if (!sparsemx_inchol_factor_0(&l, l.rows)) std::abort();
  }
};

// M := N with each row in arrays of its own, allocated at its size row after row.
void own_rows(sparsemx *M, const sparsemx *N) {
  sparsemx_resize_0(M, N->rows, N->rows);
  for (int32_t i = 1; i <= N->rows; i++) vectorld_copyto_0(&M->data[i - 1], &N->data[i - 1]);
}

// The same matrix and factor with rows of their own.
Matrix *rows_apart(const Matrix *m) {
  auto *x = new Matrix;
  own_rows(&x->a, &m->a);
  own_rows(&x->l, &m->l);
  x->entries = m->entries;
  return x;
}

// The 5-point Laplacian on an m x m grid.
Matrix *five_point(int32_t m) {
  auto *x = new Matrix;
  sparsemx_new(&x->a, m * m, m * m);
  for (int32_t y = 0; y < m; y++)
    for (int32_t c = 0; c < m; c++) {
      int32_t i = y * m + c + 1;
      if (y > 0) sparsemx_store(&x->a, i, i - m, -1);
      if (c > 0) sparsemx_store(&x->a, i, i - 1, -1);
      sparsemx_store(&x->a, i, i, 4);
      if (c < m - 1) sparsemx_store(&x->a, i, i + 1, -1);
      if (y < m - 1) sparsemx_store(&x->a, i, i + m, -1);
    }
  x->finish();
  return x;
}

// The node links of a structured tri6 mesh of s x s squares, each cut by a diagonal
// into two triangles: nodes on a (2s+1)^2 lattice, every pair of nodes of a cell
// linked; values: the graph Laplacian plus the identity.
Matrix *tri6_links(int32_t s) {
  auto *x = new Matrix;
  int32_t m = 2 * s + 1;
  sparsemx_new(&x->a, m * m, m * m);
  auto id = [m](int32_t c, int32_t y) { return y * m + c + 1; };
  const int32_t cells[2][6][2] = {{{0, 0}, {2, 0}, {2, 2}, {1, 0}, {2, 1}, {1, 1}},
                                  {{0, 0}, {2, 2}, {0, 2}, {1, 1}, {1, 2}, {0, 1}}};
  for (int32_t y = 0; y < 2 * s; y += 2)
    for (int32_t c = 0; c < 2 * s; c += 2)
      for (const auto &cell : cells)
        for (const auto &p : cell)
          for (const auto &q : cell) sparsemx_store(&x->a, id(c + p[0], y + p[1]), id(c + q[0], y + q[1]), -1);
  for (int32_t i = 1; i <= x->a.rows; i++) sparsemx_store(&x->a, i, i, x->a.data[i - 1].count);
  x->finish();
  return x;
}

// The node links of quadratic prisms: the tri6 links of s x s squares extruded through
// t layers, each layer three node planes linked all to all (an extruded quadratic
// mesh); values as above.
Matrix *prism_links(int32_t s, int32_t t) {
  std::unique_ptr<Matrix> plane(tri6_links(s));
  const sparsemx *g = &plane->a;
  int32_t n2 = g->rows, levels = 2 * t + 1;
  auto *x = new Matrix;
  sparsemx_new(&x->a, n2 * levels, n2 * levels);
  for (int32_t z = 0; z < levels; z++) {
    // Planes sharing a layer with plane z: within two of a layer boundary, one of a middle.
    int32_t lo = z % 2 ? z - 1 : std::max(0, z - 2), hi = z % 2 ? z + 1 : std::min(levels - 1, z + 2);
    for (int32_t a = 1; a <= n2; a++) {
      int32_t i = z * n2 + a;
      const vectorld *r = &g->data[a - 1];
      for (int32_t q = lo; q <= hi; q++)
        for (int32_t k = 0; k < r->count; k++) vectorld_one_more(&x->a.data[i - 1], q * n2 + r->keys[k], -1);
      vectorld *row = &x->a.data[i - 1];
      for (int32_t k = 0; k < row->count; k++)
        if (row->keys[k] == i) row->values[k] = row->count;
    }
  }
  x->finish();
  return x;
}

// Pattern 0: tri6 links 400, 1: 5-point 800, 2: tri6 links 160, 3: prism links of 24 x
// 24 squares in 23 layers (112,847 nodes); layout 0: as copied, 1: rows apart.
Matrix *pattern(int64_t which, int64_t layout) {
  static std::unique_ptr<Matrix> cache[4][2];
  if (!cache[which][0])
    cache[which][0].reset(which == 0   ? tri6_links(400)
                          : which == 1 ? five_point(800)
                          : which == 2 ? tri6_links(160)
                                       : prism_links(24, 23));
  if (layout && !cache[which][1]) cache[which][1].reset(rows_apart(cache[which][0].get()));
  return cache[which][layout].get();
}

struct Vectors {
  vectord x{}, y{};
  explicit Vectors(int32_t n) {
    vectord_resize(&x, n, n);
    for (int32_t i = 0; i < n; i++) x.data[i] = 1.0 + (i % 7) * 0.125;
  }
  ~Vectors() {
    vectord_free(&x);
    vectord_free(&y);
  }
};

// passes: sweeps over the matrix per iteration.
void rate(benchmark::State &st, const Matrix *m, int64_t w = 1, int64_t passes = 1) {
  st.SetBytesProcessed(int64_t(st.iterations()) * passes * (12 * m->entries + 16 * w * int64_t(m->a.rows)));
  st.counters["rows"] = m->a.rows;
  st.counters["entries"] = double(m->entries);
}

void Zaxpy_1e7(benchmark::State &st) {
  int32_t n = 10000000;
  Vectors v(n);
  vectord z{};
  vectord_copyto_0(&v.y, &v.x);
  for (auto _ : st) {
    vectord_zaxpy(&z, 0.5, &v.x, &v.y);
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * n * 24);
  vectord_free(&z);
}

// One kernel on one pattern (range 0) in one layout (range 1).
void Kernel(benchmark::State &st, void (*op)(Matrix *, Vectors *)) {
  Matrix *m = pattern(st.range(0), st.range(1));
  Vectors v(m->a.rows);
  for (auto _ : st) {
    op(m, &v);
    benchmark::ClobberMemory();
  }
  rate(st, m);
}

void mv(Matrix *m, Vectors *v) { sparsemx_mv_0(&v->y, &m->a, &v->x); }
void mtv(Matrix *m, Vectors *v) { sparsemx_mtv_0(&v->y, &m->a, &v->x); }
void inchol_pair(Matrix *m, Vectors *v) {
  sparsemx_inchol_forward(&v->y, &m->l, &v->x);
  sparsemx_inchol_back(&v->y, &m->l, &v->y);
}

// The block mat-vec (op 0) or forward+back pair (op 1) on w = range(2) interleaved
// vectors, pattern range(0), layout range(1).
void Block(benchmark::State &st) {
  Matrix *m = pattern(st.range(0), st.range(1));
  int32_t w = int32_t(st.range(2)), n = m->a.rows;
  std::vector<double> x(size_t(n) * w), y(x.size());
  for (size_t i = 0; i < x.size(); i++) x[i] = 1.0 + double(i % 7) * 0.125;
  for (auto _ : st) {
    sparsemx_mv_block(y.data(), &m->a, x.data(), w);
    sparsemx_inchol_forward_block(y.data(), &m->l, x.data(), w);
    sparsemx_inchol_back_block(y.data(), &m->l, y.data(), w);
    benchmark::ClobberMemory();
  }
  rate(st, m, w, 3);
}

// Iterations and seconds per iteration of each ICCG size, for the fit.
std::map<int64_t, std::pair<double, double>> iccg_runs;

void Iccg(benchmark::State &st) {
  int32_t side = int32_t(st.range(0));
  std::unique_ptr<Matrix> m(five_point(side));
  int32_t n = m->a.rows;
  vectord b{}, x{};
  vectord_resize(&b, n, n);
  for (int32_t i = 0; i < n; i++) b.data[i] = 1.0;
  vector2d pool{};
  vector2d_new(&pool, 0, 7);
  pad panel{};
  display_initpad(&panel, 8, 0);
  double iterations = 0, seconds = 0;
  for (auto _ : st) {
    auto t0 = std::chrono::steady_clock::now();
    sparsecg_cg(&x, &m->a, &m->l, &b, nullptr, nullptr, &pool, 1e-6, 0.0, 60000, &panel, orthomin, luprecon, n);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    iterations = std::atof(panel.values.items[0].text);  // the last iteration shown
  }
  st.counters["iterations"] = iterations;
  st.counters["us_per_iteration"] = 1e6 * seconds / iterations;
  iccg_runs[side] = {iterations, seconds / iterations};
  display_free(&panel);
  vector2d_free(&pool, 1);
  vectord_free(&b);
  vectord_free(&x);
}

// Least-squares slopes of log iterations against log(1/h) and of log time per
// iteration against log n over the sizes run before.
void IccgFit(benchmark::State &st) {
  for (auto _ : st) {
  }
  double sx = 0, sy = 0, sxx = 0, sxy = 0, tx = 0, ty = 0, txx = 0, txy = 0, k = double(iccg_runs.size());
  for (auto &[side, r] : iccg_runs) {
    double x = std::log(double(side + 1)), y = std::log(r.first);
    sx += x, sy += y, sxx += x * x, sxy += x * y;
    double u = std::log(double(side) * side), w = std::log(r.second);
    tx += u, ty += w, txx += u * u, txy += u * w;
  }
  st.counters["p_iterations"] = (k * sxy - sx * sy) / (k * sxx - sx * sx);
  st.counters["q_time_per_iteration"] = (k * txy - tx * ty) / (k * txx - tx * tx);
}

}  // namespace

BENCHMARK(Zaxpy_1e7)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel, mv_0, mv)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel, mtv_0, mtv)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel, inchol_pair, inchol_pair)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(Block)->ArgsProduct({{0, 2, 3}, {0, 1}, {1, 2, 4, 8, 16, 18}})->Unit(benchmark::kMillisecond);
BENCHMARK(Iccg)->Arg(64)->Arg(128)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IccgFit)->Iterations(1);
