// treeval's private parts shared by its three files: the walks of treeval.cpp and the
// basis rows of treeval_rows.cpp that the integrals of treeval_integrals.cpp are built on.
#pragma once
#include <cstdint>
#include <vector>

#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "model/trees.h"

struct pde;
struct PositionStore;  // treeval_program.cpp

[[noreturn]] void trapop(pde *p, const TreeNode *node);
[[noreturn]] void trapmismatch(pde *p, const TreeNode *node, int32_t left, int32_t right);

// The scalar walk, and the operations of its unary and binary nodes on their operands' values.
double eval(pde *p, const TreeNode *n, const evalpoint *pt);
double eval_unop(pde *p, const TreeNode *n, double x);
double eval_binop(pde *p, const TreeNode *n, double a, double b, bool smooth);
// The shared subexpression k's value as its definition leaves it (the vector grown to hold it).
double &subvalue(pde *p, uint16_t k);

// Integrand trees flattened into instructions (treeval_program.cpp) for a volume sweep over
// the rule points of one cell, at nsets times a point: run gives what eval gives, computing
// a value of the position alone once a rule point and one of the time alone once a time.
class TreePrograms {
 public:
  // Forgets every program; the sweep takes `times` sets a point.
  void clear(int times);
  // Forgets the values kept, keeping the programs, for a new sweep of as many times.
  void restart();
  // Compiles the tree; false where it holds a node of a non-scalar value.
  bool add(const TreeNode *tree);
  // The program of the tree, -1 for none.
  int find(const TreeNode *tree) const;
  // The value of program k at the loop's point at the current set (0-based, below the
  // sweep's count).
  double run(pde *p, int k, const evalpoint *pt);
  // Keeps each program's values of the position alone past this object, by cell and rule
  // point, for the programs of the same instructions that later loops compile: a rule
  // point met again at the same coordinates takes them back.
  void keep_positions();
  int set = 0;

 private:
  struct Instr {
    uint8_t kind, keep;  // the operation; what its value is kept over (0 nothing)
    int32_t out, a, b;   // registers
    const TreeNode *node;
  };
  struct Program {
    const TreeNode *root;
    int32_t first, positions, times, rest;  // its instructions: the three kinds in turn
    int32_t result, first_subdef, subdefs;  // its register; its definitions in subdefs
    uint32_t generation;                    // the rule point its position values were taken at
    bool placed = false;
    uint32_t times_kept = 0;         // by set: its time values are taken
    PositionStore *store = nullptr;  // its kept position values, or null
    bool pure = true;                // its rest is arithmetic on its registers alone
    uint32_t sets_generation = 0;    // the rule point its rest was run at for every set at once
    bool sets_run = false;
  };
  int32_t compile(const TreeNode *n, uint8_t *reads, std::vector<int32_t> &defs);
  static void exec(pde *p, const Instr *i, const Instr *end, const evalpoint *pt, double *r, double *keep,
                   const TreeNode *outer);
  void exec_sets(pde *p, const Instr *i, const Instr *end, const TreeNode *outer);
  double set_value(int32_t reg, int s) const;
  void leave_subdefs(pde *p, const Program &g, int s);
  std::vector<Instr> code, subdefs;
  std::vector<uint16_t> subdef_slots;  // by entry of subdefs: its shared subexpression
  std::vector<double> reg, kept;       // kept: by set, then register
  std::vector<uint8_t> reads_of;       // by register
  std::vector<uint8_t> by_set;         // by register: 1 where each set has its own value (in kept)
  std::vector<Program> programs;
  std::vector<int32_t> defs;  // by shared subexpression: the register of its definition
  int nsets = 1;
};

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
