// Per-cell frame and basis work at the rule points of one cell, as assembly does it:
// Jacobian, determinant and inverse, the forward map, and the global first
// derivatives of the cell's basis at every point. Three ways in one run:
//   Table  - the frame from the per-basis rule table (elements_jacobian_rule ...);
//   Direct - every quantity evaluated at the point (elements_jacobian ...);
//   Hand   - the same arithmetic written out over plain arrays, the floor.
#include <benchmark/benchmark.h>

#include <cstring>

#include "elements/basisfun.h"
#include "elements/quature.h"

namespace {

// A curved cell of the code: its reference nodes, scaled, with the non-vertex nodes
// moved a little.
struct Cell {
  int32_t code, dim, n;
  QuadBasis table = {};
  ElementFrame frame = {};
  double xyz[20][3];
  Cell(int32_t c) : code(c), dim(elements_dimension[c]), n(elements_functions[c]) {
    quature_init_quadrature();
    basisfun_node_coords();
    const LocalPoint *p = basisfun_node_table(code);
    for (int k = 0; k < n; k++)
      for (int r = 0; r < 3; r++)
        xyz[k][r] = p[k].L[r + 1] * (1 + 0.1 * r) + (k > dim ? 0.03 * ((k * 7 + r) % 5 - 2) : 0);
    quature_build_vquad_basis(&table, quature_interior_choice(0, dim, elements_order[code]), code);
    elements_localize(&frame, xyz, code, code);
  }
  ~Cell() { quature_free_vquad_basis(&table); }
};

typedef int (*Global)(double *, int32_t, const double (*)[20], const ElementFrame *);
const Global globals[3] = {elements_basisx, elements_basisy, elements_basisz};

void Table(benchmark::State &st) {
  Cell c(int32_t(st.range(0)));
  double x[3], grad[3][20];
  for (auto _ : st) {
    double sum = 0;
    for (int q = 0; q < c.table.count; q++) {
      elements_jacobian_rule(&c.table, q, &c.frame);
      elements_get_gcoords_rule(x, &c.table, q, &c.frame);
      for (int r = 0; r < c.dim; r++) globals[r](grad[r], c.code, c.table.derivs[q], &c.frame);
      sum += c.frame.measure + x[0] + grad[0][0] + c.table.values[q][0];
    }
    benchmark::DoNotOptimize(sum);
  }
  st.SetLabel(std::string(elements_names[c.code]) + ", " + std::to_string(c.table.count) + " points");
}

void Direct(benchmark::State &st) {
  Cell c(int32_t(st.range(0)));
  double x[3], grad[3][20], values[20], ld[3][20];
  for (auto _ : st) {
    double sum = 0;
    for (int q = 0; q < c.table.count; q++) {
      const double *L = c.table.points[q].L;
      elements_jacobian(L, &c.frame);
      elements_get_gcoords(x, L, &c.frame);
      basisfun_basis_1(values, c.code, L);
      basisfun_basis_p(ld, c.code, L);
      for (int r = 0; r < c.dim; r++) globals[r](grad[r], c.code, ld, &c.frame);
      sum += c.frame.measure + x[0] + grad[0][0] + values[0];
    }
    benchmark::DoNotOptimize(sum);
  }
}

// The floor: values and derivatives read from plain arrays, J and its inverse by
// the closed forms, no calls.
template <int DIM, int N> void hand(benchmark::State &st, int32_t code) {
  Cell c(code);
  const int Q = c.table.count;
  double V[64][N], D[64][DIM][N], X[N][3];
  for (int q = 0; q < Q; q++) {
    memcpy(V[q], c.table.values[q], sizeof V[q]);
    for (int d = 0; d < DIM; d++) memcpy(D[q][d], c.table.derivs[q][d], sizeof D[q][d]);
  }
  memcpy(X, c.xyz, sizeof X);
  for (auto _ : st) {
    double sum = 0;
    for (int q = 0; q < Q; q++) {
      double J[DIM][DIM], K[DIM][DIM], x[DIM], g[DIM][N];
      for (int r = 0; r < DIM; r++) {
        for (int d = 0; d < DIM; d++) {
          double s = 0;
          for (int i = 0; i < N; i++) s += X[i][r] * D[q][d][i];
          J[r][d] = s;
        }
        double s = 0;
        for (int i = 0; i < N; i++) s += V[q][i] * X[i][r];
        x[r] = s;
      }
      double det;
      if constexpr (DIM == 2) {
        det = J[0][0] * J[1][1] - J[0][1] * J[1][0];
        double q1 = 1 / (det < 0 ? -det : det);
        K[0][0] = J[1][1] * q1, K[0][1] = -J[0][1] * q1, K[1][0] = -J[1][0] * q1, K[1][1] = J[0][0] * q1;
      } else {
        det = J[0][0] * (J[1][1] * J[2][2] - J[1][2] * J[2][1]) - J[0][1] * (J[1][0] * J[2][2] - J[1][2] * J[2][0]) +
              J[0][2] * (J[1][0] * J[2][1] - J[1][1] * J[2][0]);
        double q1 = 1 / (det < 0 ? -det : det);
        for (int a = 0; a < 3; a++)
          for (int r = 0; r < 3; r++) {
            int r1 = (r + 1) % 3, r2 = (r + 2) % 3, a1 = (a + 1) % 3, a2 = (a + 2) % 3;
            K[a][r] = -(J[r1][a1] * J[r2][a2] - J[r1][a2] * J[r2][a1]) * q1;
          }
      }
      for (int r = 0; r < DIM; r++)
        for (int i = 0; i < N; i++) {
          double s = 0;
          for (int d = 0; d < DIM; d++) s += D[q][d][i] * K[d][r];
          g[r][i] = s;
        }
      sum += det + x[0] + g[0][0] + V[q][0];
    }
    benchmark::DoNotOptimize(sum);
  }
}

void Hand(benchmark::State &st) {
  switch (st.range(0)) {
    case tri3: hand<2, 3>(st, tri3); break;
    case tri6: hand<2, 6>(st, tri6); break;
    case tri9: hand<2, 9>(st, tri9); break;
    case tet10: hand<3, 10>(st, tet10); break;
    case tet20: hand<3, 20>(st, tet20); break;
  }
}

#define CODES Arg(tri3)->Arg(tri6)->Arg(tri9)->Arg(tet10)->Arg(tet20)
BENCHMARK(Table)->CODES;
BENCHMARK(Direct)->CODES;
BENCHMARK(Hand)->CODES;

}  // namespace
