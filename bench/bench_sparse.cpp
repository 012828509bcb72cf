// Sparse kernels against the streaming bound, and the growth of ICCG iteration counts.
//
// 1. sparsemx_mv_0, sparsemx_mtv_0 and the incomplete-Cholesky forward+back pair on
//    two patterns of about 640,000 rows: the link pattern of a structured 400 x 400
//    tri6 mesh (graph Laplacian plus identity, 801^2 nodes) and the 800^2 5-point
//    Laplacian. Bytes counted: 12 per stored entry + 16 per row, so the rates compare
//    with the z = a x + y rate at 10^7 (24 bytes per element) run beside them.
// 2. ICCG on the 5-point Laplacian for 64 to 512 points per side, the budget never
//    binding: the counters give the iterations and the time per iteration, and the
//    last entry the fitted exponents (count ~ h^-p, time per iteration ~ n^q).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "graphics/display.h"
#include "runtime/vector2d.h"
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
  // The rows as the loader lays them out, each allocated once at its size, row
  // after row; then the incomplete-Cholesky factor of a copy.
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

Matrix *pattern(int64_t which) {
  static std::unique_ptr<Matrix> cache[2];
  if (!cache[which]) cache[which].reset(which == 0 ? tri6_links(400) : five_point(800));
  return cache[which].get();
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

void rate(benchmark::State &st, const Matrix *m) {
  st.SetBytesProcessed(int64_t(st.iterations()) * (12 * m->entries + 16 * int64_t(m->a.rows)));
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

// One kernel on one pattern (range 0: tri6 links, 1: 5-point).
void Kernel(benchmark::State &st, void (*op)(Matrix *, Vectors *)) {
  Matrix *m = pattern(st.range(0));
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
BENCHMARK_CAPTURE(Kernel, mv_0, mv)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel, mtv_0, mtv)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Kernel, inchol_pair, inchol_pair)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Iccg)->Arg(64)->Arg(128)->Arg(256)->Arg(512)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(IccgFit)->Iterations(1);
