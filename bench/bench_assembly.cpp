// Assembly of P2 Poisson (div(grad(u)) = 4) on structured tri6 meshes of 10^4 to
// 6.4 x 10^5 unknowns: the residual with sources, the Jacobian with its scaling and
// symmetry check, and beside them a hand-written tri6 Laplacian assembly into the
// same pattern; the layout (loading_map_matrix) apart. Items per second = cells per
// second, so the growth in cells is the time per item against the size.
#include <benchmark/benchmark.h>

#include <memory>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "elements/basisfun.h"
#include "elements/quature.h"
#include "model/treeval.h"
#include "runtime/vectorld.h"
#include "solver/bigmatx.h"
#include "solver/coupling.h"
#include "solver/loading.h"
#include "solver/sparsemx.h"
#include "tests/solver/gridmesh.h"

namespace {

TreeNode *leaf(int32_t opcode, uint16_t index, uint8_t sel) {
  TreeNode *t = trees_new_0(opcode);
  t->index = index, t->deriv[0] = sel;
  return t;
}
TreeNode *integral(TreeNode *c, uint8_t sel) {
  TreeNode *i = trees_insert(c, op::integral);
  i->deriv[0] = sel;
  return i;
}
// -(integral_1(f(1)) + integral_2(f(2))): the weak Laplacian of the leaves f gives.
template <class Leaf> TreeNode *laplacian(Leaf f) {
  TreeNode *sum = trees_new_0(op::addop);
  sum->child[0] = integral(f(1), 1), sum->child[1] = integral(f(2), 2);
  sum->arity = 2;
  return trees_insert(sum, op::negateop);
}

// The problem on an n x n mesh of the unit square, with the trees analysis makes.
struct Poisson {
  pde *p;
  vector2d u{};
  explicit Poisson(int n) {
    quature_init_quadrature();
    basisfun_node_coords();
    treeval_init();
    coupling_init();
    p = new pde();
    p->dimension = 2, p->nfield = 1, p->nvars = 1, p->symmetric = 1, p->scaling = 1, p->reorder = 0;
    grid_mesh(&p->mesh, n, n, tri6, 1, 1, [](double, double) { return uint16_t(0); });
    p->vrule = quature_interior_choice(0, 2, 2);
    p->sset = quature_side_choice(0, 2, 2);
    quature_build_vquad_basis(&p->vquad, p->vrule, tri6);
    quature_build_squad_basis(&p->squad, p->sset, tri6);
    uint16_t k = eqns_new_equation(&p->formulas.equations);
    equation *e = p->formulas.equations.items[k - 1];
    trees_resize_0(&e->volume, 1, 1);
    trees_resize_0(&e->source, 1, 1);
    trees_resize_1(&e->voljac, 1, 1);
    trees_resize_0(&e->voljac.data[0], 1, 1);
    e->volume.data[0] = laplacian([](uint8_t s) { return leaf(op::varble, 1, s); });
    e->voljac.data[0].data[0] = laplacian([](uint8_t s) { return leaf(op::febasis, tri6, s); });
    e->source.data[0] = integral(trees_new_real_0(4), 0);
    loading_map_matrix(p, 1);
    coupling_tabulate_bcs(p);
    int32_t N = p->mesh.nodes.count;
    vector2d_resize(&u, 1, 1);
    vectord_resize(&u.data[0], N, N);
    for (int32_t i = 0; i < N; i++) u.data[0].data[i] = p->mesh.nodes.data[i].x * p->mesh.nodes.data[i].y;
  }
  ~Poisson() {
    vector2d_free(&u, 1);  // the record's lists go with the process
  }
  int64_t cells() const { return p->mesh.cells.count; }
};

void sized(benchmark::State &state, const Poisson &q) {
  state.SetItemsProcessed(int64_t(state.iterations()) * q.cells());
  state.counters["unknowns"] = double(q.p->nt);
}

void BM_Residual(benchmark::State &state) {
  Poisson q(int(state.range(0)));
  vectord F{}, S{};
  for (auto _ : state) {
    coupling_operate(q.p, &F, nullptr, &q.u, nullptr, 0, 0, 0);
    coupling_build_source(q.p, &S, 0, 0, 1);
  }
  sized(state, q);
  vectord_free(&F), vectord_free(&S);
}

void BM_Jacobian(benchmark::State &state) {
  Poisson q(int(state.range(0)));
  double times[2] = {0, 0};
  for (auto _ : state) coupling_ss_matrix(q.p, &q.u, times);
  sized(state, q);
}

// The element matrices by hand from the tabulated rule, added into the same pattern.
void BM_HandJacobian(benchmark::State &state) {
  Poisson q(int(state.range(0)));
  pde *p = q.p;
  const QuadRule *rule = quature_rule(p->vrule);
  const QuadBasis *t = &p->vquad;
  LocalCell lc{};
  double out[36], gx[6], gy[6];
  for (auto _ : state) {
    sparsemx_clear(&p->matrix);
    for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
      meshes_localize(&p->mesh, &p->mesh.cells.data[c - 1], &lc, 0);
      ElementFrame *f = &lc.frame;
      for (double &o : out) o = 0;
      for (int k = 0; k < rule->count; k++) {
        elements_jacobian_rule(t, k, f);
        double w = rule->points[k].weight * f->measure;
        const double (*ld)[20] = t->derivs[k];
        for (int i = 0; i < 6; i++) {
          gx[i] = ld[0][i] * f->K[0][0] + ld[1][i] * f->K[1][0];
          gy[i] = ld[0][i] * f->K[0][1] + ld[1][i] * f->K[1][1];
        }
        for (int i = 0; i < 6; i++)
          for (int j = 0; j < 6; j++) out[i * 6 + j] -= w * (gx[i] * gx[j] + gy[i] * gy[j]);
      }
      for (int i = 0; i < 6; i++) {
        vectorld *r = &p->matrix.data[bigmatx_row(&p->layout, 1, lc.nodes[i]) - 1];
        for (int j = 0; j < 6; j++) {
          int32_t at = bigmatx_find(r->keys, r->count, bigmatx_row(&p->layout, 1, lc.nodes[j]));
          r->values[at] += out[i * 6 + j];
        }
      }
    }
    benchmark::DoNotOptimize(p->matrix.data);
  }
  sized(state, q);
}

void BM_MapMatrix(benchmark::State &state) {
  Poisson q(int(state.range(0)));
  for (auto _ : state) loading_map_matrix(q.p, 1);
  sized(state, q);
}

}  // namespace

// 50 .. 400 squares a side: 10,201 .. 641,601 unknowns.
BENCHMARK(BM_Residual)->RangeMultiplier(2)->Range(50, 400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jacobian)->RangeMultiplier(2)->Range(50, 400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandJacobian)->RangeMultiplier(2)->Range(50, 400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapMatrix)->RangeMultiplier(2)->Range(50, 400)->Unit(benchmark::kMillisecond);
