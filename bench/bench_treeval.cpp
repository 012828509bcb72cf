// Element Jacobians of Poisson cells through the tree evaluator against a plain loop
// that forms the same matrices from the same tabulated rows: about 10,000 P1 and P2
// cells, items per second = cells per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "model/treeval.h"

namespace {

struct Setup {
  std::unique_ptr<pde> p{new pde()};
  std::vector<LocalCell> cells;
  TreeNode *term = nullptr;
  int32_t code;

  explicit Setup(int32_t c) : code(c) {
    quature_init_quadrature();
    basisfun_node_coords();
    treeval_init();
    int order = elements_order[code];
    p->dimension = 2;
    p->vrule = quature_interior_choice(0, 2, order);
    p->sset = quature_side_choice(0, 2, order);
    quature_build_vquad_basis(&p->vquad, p->vrule, code);
    // 100 x 50 squares of side 0.01, two skewed triangles each; side nodes at the middles.
    const LocalPoint *nodes = basisfun_node_table(code);
    int n = elements_functions[code];
    for (int i = 0; i < 100; i++)
      for (int j = 0; j < 50; j++)
        for (int half = 0; half < 2; half++) {
          double x = 0.01 * i + 0.002 * std::sin(j), y = 0.01 * j;
          double v[3][2] = {{x, y}, {x + 0.01, y + 0.01 * half}, {x + 0.01 * (1 - half), y + 0.01}};
          LocalCell lc{};
          lc.frame.gbasis = code;
          lc.frame.curved = order > 1;
          for (int k = 0; k < n; k++) {
            lc.nodes[k] = k + 1;
            for (int r = 0; r < 2; r++)
              lc.frame.nodes[k][r] = nodes[k].L[0] * v[0][r] + nodes[k].L[1] * v[1][r] + nodes[k].L[2] * v[2][r];
          }
          elements_jacobian(elements_centroid[2].L, &lc.frame);
          cells.push_back(lc);
        }
    // The volume Jacobian analysis makes of div(grad(u)) = 0.
    auto integral = [&](uint8_t s) {
      TreeNode *b = trees_new_0(op::febasis);
      b->index = uint16_t(code), b->deriv[0] = s;
      TreeNode *i = trees_insert(b, op::integral);
      i->deriv[0] = s;
      return i;
    };
    TreeNode *sum = trees_new_0(op::addop);
    sum->child[0] = integral(1), sum->child[1] = integral(2);
    term = trees_insert(sum, op::negateop);
  }
  ~Setup() {
    trees_free_0(term);
    quature_free_vquad_basis(&p->vquad);
  }
};

void BM_TreevalJacobian(benchmark::State &state) {
  Setup s(int32_t(state.range(0)));
  evalpoint pt{};
  double out[400];
  for (auto _ : state) {
    for (LocalCell &lc : s.cells) {
      pt.cell = &lc;
      treeval_vol_jacobian(s.p.get(), out, s.term, &pt, s.code, s.code);
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(s.cells.size()));
}

// The same matrices by hand: global derivatives from the tabulated local rows through
// the frame, the Jacobian per rule point for curved cells.
void BM_HandJacobian(benchmark::State &state) {
  Setup s(int32_t(state.range(0)));
  const QuadRule *rule = quature_rule(s.p->vrule);
  const QuadBasis *t = &s.p->vquad;
  int n = elements_functions[s.code];
  double out[400], gx[20], gy[20];
  for (auto _ : state) {
    for (LocalCell &lc : s.cells) {
      ElementFrame *f = &lc.frame;
      for (int k = 0; k < n * n; k++) out[k] = 0;
      for (int q = 0; q < rule->count; q++) {
        if (f->curved) elements_jacobian_rule(t, q, f);
        double w = rule->points[q].weight * f->measure;
        const double (*ld)[20] = t->derivs[q];
        for (int i = 0; i < n; i++) {
          gx[i] = ld[0][i] * f->K[0][0] + ld[1][i] * f->K[1][0];
          gy[i] = ld[0][i] * f->K[0][1] + ld[1][i] * f->K[1][1];
        }
        for (int i = 0; i < n; i++)
          for (int j = 0; j < n; j++) out[i * n + j] -= w * (gx[i] * gx[j] + gy[i] * gy[j]);
      }
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(s.cells.size()));
}

}  // namespace

BENCHMARK(BM_TreevalJacobian)->Arg(tri3)->Arg(tri6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandJacobian)->Arg(tri3)->Arg(tri6)->Unit(benchmark::kMillisecond);
