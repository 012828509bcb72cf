// Simplification and differentiation of seeded balanced trees of 10^3 to 10^5 nodes,
// beside a bare walk over the same trees. "out" counts the nodes of the result: the
// product rule copies each factor once per level above it, so a derivative has about
// N lg N nodes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "model/treedif.h"
#include "model/treemods.h"
#include "model/treesimp.h"

namespace {

// A balanced tree of about n nodes over x, y and constants: sums, differences and
// products inside, a sine or cosine over every fourth subtree.
TreeNode *balanced(std::mt19937 &rng, int n) {
  if (n <= 1) {
    switch (rng() % 3) {
      case 0: return trees_new_0(op::xcoord);
      case 1: return trees_new_0(op::ycoord);
      default: return trees_new_real_0(double(rng() % 7) + 1);
    }
  }
  if (rng() % 4 == 0) {
    TreeNode *u = trees_new_0(rng() % 2 ? op::sinf : op::cosf);
    u->child[0] = balanced(rng, n - 1);
    return u;
  }
  static const int32_t ops[] = {op::addop, op::subop, op::mulop};
  TreeNode *b = trees_new_0(ops[rng() % 3]);
  b->child[0] = balanced(rng, (n - 1) / 2);
  b->child[1] = balanced(rng, n - 1 - (n - 1) / 2);
  return b;
}

long nodes(const TreeNode *t) {
  long s = 1;
  for (int k = 0; t && t->group != leafop && k < t->arity; k++) s += nodes(t->child[k]);
  return s;
}

pde *problem() {
  static pde *p = static_cast<pde *>(calloc(1, sizeof(pde)));
  return p;
}

// Times op on a fresh copy of the seeded tree of state.range(0) nodes; the copy and
// the release of op's result are not timed.
template <class Op> void timed(benchmark::State &state, Op op) {
  std::mt19937 rng(11);
  TreeNode *tree = balanced(rng, int(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    TreeNode *t = trees_copy(tree);
    state.ResumeTiming();
    t = op(t);
    benchmark::DoNotOptimize(t);
    state.PauseTiming();
    state.counters["out"] = double(nodes(t));
    trees_free_0(t);
    state.ResumeTiming();
  }
  trees_free_0(tree);
  state.SetComplexityN(state.range(0));
}

// The memory baseline: one walk over every node of the tree, which costs more per
// node once the tree outgrows the caches.
void BM_Walk(benchmark::State &state) {
  timed(state, [](TreeNode *t) { return treemods_find_op(t, op::lastop) ? nullptr : t; });
}

void BM_Simplify(benchmark::State &state) {
  timed(state, [](TreeNode *t) {
    uint8_t changed = 0;
    return treesimp_simplify(t, 1, &changed);
  });
}

void BM_Differentiate(benchmark::State &state) {
  timed(state, [](TreeNode *t) { return treedif_differ(problem(), t, 1, 1); });
}

}  // namespace

BENCHMARK(BM_Walk)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();
BENCHMARK(BM_Simplify)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();
BENCHMARK(BM_Differentiate)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();
