// treeval's private parts shared by its three files: the walks of treeval.cpp and the
// basis rows of treeval_rows.cpp that the integrals of treeval_integrals.cpp are built on.
#pragma once
#include <cstdint>

#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "model/trees.h"

struct pde;

[[noreturn]] void trapop(pde *p, const TreeNode *node);
[[noreturn]] void trapmismatch(pde *p, const TreeNode *node, int32_t left, int32_t right);

// The scalar walk.
double eval(pde *p, const TreeNode *n, const evalpoint *pt);

// The values a volume sweep keeps (treeval_integrals.cpp). In a sweep over the rule
// points, each at one or more times, a subtree that reads only the position has one
// value at every time of a point, and one that reads only the time one value at every
// point of a time: a node with a slot (memo) computes its value where it is first met and
// gives it back after. Active while a sweep runs, else null.
struct SweepMemo {
  int set = 0;               // the time of the point being swept (0-based)
  bool first_point = true;   // the first rule point of the sweep
  const TreeNode **nodes{};  // by slot: the node
  uint8_t *position{};       // by slot: 1 where it reads the position alone, 0 the time alone
  int32_t *beneath{};        // by slot: the end of the slots of the definitions at or beneath it
  double *values{};          // by slot and time: slot * sweep_times + set
};
enum { sweep_times = 8 };
extern SweepMemo *sweep_memo;
// The node's value under the active sweep (its slot's kept value, or computed and kept).
double eval_kept(pde *p, const TreeNode *n, const evalpoint *pt);

// The row cache of the basis rows (treeval_rows.cpp): the loop's point and its rule point's
// generation.
extern const evalpoint *loop_point;
extern uint32_t rule_generation;
struct RowCache {
  uint32_t gen;
  const double *row;
  double own[20];
};
extern RowCache row_cache[ELEMENTS_CODES][4];  // by code and axis (0 values, 1..3 x, y, z)

// The value row (axis 0) or a global derivative row of the code at the point.
const double *form_row(pde *p, int32_t code, int axis, const evalpoint *pt);

// The same, the row formed at this rule point taken without a call.
inline const double *basis_row(pde *p, int32_t code, int axis, const evalpoint *pt) {
  if (pt == loop_point && code > 0 && code < ELEMENTS_CODES && axis >= 0 && axis <= 3) {
    const RowCache &c = row_cache[code][axis];
    if (c.gen == rule_generation && pt->qpoint) return c.row;
  }
  return form_row(p, code, axis, pt);
}

int global_row(pde *p, double *out, int32_t code, int s, const evalpoint *pt);
// basis_tab: the test functions (or their derivative along s1) at the rule point;
// the row lives until the next rule point.
int32_t basis_tab(pde *p, const double **out, int32_t code, int s1, int s2, const evalpoint *pt);
int32_t functions_of(int32_t code);

// The integral of a basis-array integrand over the cell (treeval_integrals.cpp).
int32_t unweighted_integral(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t code);
