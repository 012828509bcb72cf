// treeval_program: an integrand tree flattened into a list of instructions that a tight loop
// runs at every rule point of a volume sweep, in place of the recursive walk.
//
// Each instruction is one node's operation, in the order the walk meets the nodes (children
// before their node, left before right), reading and writing numbered registers. An
// instruction whose value reads the position alone is run once a rule point and kept for
// the other times of that point; one that reads the time alone (or nothing) once a time and
// kept for the other points. Every operation is the walk's own (eval_unop, eval_binop's
// arithmetic, the same library calls in the same order), so the values are the walk's to the
// bit. Nodes the loop has no instruction for (fields, definitions, tables, conditionals ...)
// are one call of the walk each.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "model/treeval_internal.h"

#include "model/pdedat_record.h"
#include "runtime/rtlib.h"

namespace {

enum : uint8_t { reads_position = 1, reads_time = 2, reads_more = 4 };
enum : uint8_t {
  k_x,
  k_y,
  k_z,
  k_t,
  k_call,
  k_unop,
  k_add,
  k_sub,
  k_mul,
  k_binop,
  k_subdef,
  k_neg,
  k_square,
  k_sin,
  k_cos
};

// The class under which a register is kept: 0 computed at every run, else the reads.
uint8_t keep_class(uint8_t reads) {
  if (reads & reads_more) return 0;
  if ((reads & 3) == 3) return 0;
  return reads == reads_position ? reads_position : reads_time;
}

// The barriers' operand: a vector register where the compiler has the constraint for one (no
// store and load around each operation), else memory, as the walk's own barriers have it.
#if defined(__x86_64__) || defined(__i386__)
#define FP_HELD "+x"
#else
#define FP_HELD "+m"
#endif

// f(x), the node held for a trap while it is formed (the barriers keep the operation after
// the node is set).
template <class F> inline double held(const TreeNode *n, double x, F f) {
  trees_fp_node = n;
  asm volatile("" : FP_HELD(x)::"memory");
  double v = f(x);
  asm volatile("" : FP_HELD(v)::"memory");
  return v;
}
template <class F> inline double held(const TreeNode *n, double a, double b, F f) {
  trees_fp_node = n;
  asm volatile("" : FP_HELD(a), FP_HELD(b)::"memory");
  double v = f(a, b);
  asm volatile("" : FP_HELD(v)::"memory");
  return v;
}

}  // namespace

// The values of the position alone of one program's instructions, by cell and rule point,
// with the coordinates they were taken at. The instructions are named by their operations,
// registers and constants, so that only a program that computes the same function of the
// position takes them.
struct PositionStore {
  std::vector<int64_t> signature;
  std::vector<int32_t> outs;                 // the registers kept
  std::vector<std::vector<double>> by_cell;  // by cell: by rule point, x y z then the values
};

namespace {

// Kept for the run (a program may hold one while another loop compiles), within a bound of
// 4 MB of values. The runs the store pays for are time runs whose steps sweep the same cells
// again, and those it serves within that bound as they did within 16 MB (a nonlinear decay,
// a cube's decay, a decay whose mesh adapts: the same CPU seconds), while a run that sweeps
// its mesh once, as a steady run's assembly, filled the whole bound for nothing: 14-20 MB
// of its peak.
std::vector<std::unique_ptr<PositionStore>> position_stores;
size_t position_doubles = 0;
enum : size_t { position_stores_most = 64, position_doubles_most = size_t(1) << 19 };

// Takes back the position values of the rule point, true where they were kept at its
// coordinates.
bool restore_positions(const PositionStore &s, const evalpoint *pt, double *r) {
  if (pt->cellno == 0 || pt->cellno > s.by_cell.size() || pt->qpoint == 0) return false;
  const std::vector<double> &c = s.by_cell[pt->cellno - 1];
  size_t width = 3 + s.outs.size(), at = (pt->qpoint - 1u) * width;
  if (at + width > c.size()) return false;
  const double *v = c.data() + at, xyz[3] = {pt->x, pt->y, pt->z};
  if (std::memcmp(v, xyz, sizeof xyz) != 0) return false;
  for (size_t k = 0; k < s.outs.size(); k++) r[s.outs[k]] = v[3 + k];
  return true;
}

void save_positions(PositionStore &s, const evalpoint *pt, const double *r) {
  if (pt->cellno == 0 || pt->qpoint == 0) return;
  size_t width = 3 + s.outs.size(), at = (pt->qpoint - 1u) * width;
  if (s.by_cell.size() < pt->cellno) s.by_cell.resize(pt->cellno);
  std::vector<double> &c = s.by_cell[pt->cellno - 1];
  if (c.size() < at + width) {
    if (position_doubles + at + width - c.size() > position_doubles_most) return;
    position_doubles += at + width - c.size();
    c.resize(at + width, 0.0);
  }
  double *v = c.data() + at;
  v[0] = pt->x, v[1] = pt->y, v[2] = pt->z;
  for (size_t k = 0; k < s.outs.size(); k++) v[3 + k] = r[s.outs[k]];
}

}  // namespace

void TreePrograms::keep_positions() {
  for (Program &g : programs) {
    if (g.positions == 0) continue;
    std::vector<int64_t> sig;
    std::vector<int32_t> outs;
    for (const Instr *i = code.data() + g.first, *e = i + g.positions; i < e; i++) {
      int64_t value = 0;
      if (i->node) std::memcpy(&value, &i->node->value, sizeof value);
      sig.insert(sig.end(), {i->kind, i->node ? i->node->opcode : -1, i->node ? i->node->index : -1, value, i->out});
      for (int32_t x : {i->a, i->b}) {
        // An operand no instruction computes is a constant: its bits name it.
        bool computed = false;
        for (const Instr *j = code.data() + g.first; j < i && !computed; j++) computed = j->out == x;
        int64_t bits = 0;
        if (!computed) std::memcpy(&bits, &reg[size_t(x)], sizeof bits);
        sig.insert(sig.end(), {x, computed ? 1 : 0, bits});
      }
      outs.push_back(i->out);
    }
    for (auto &s : position_stores)
      if (s->signature == sig) g.store = s.get();
    if (g.store || position_stores.size() >= position_stores_most) continue;
    position_stores.push_back(std::make_unique<PositionStore>());
    g.store = position_stores.back().get();
    g.store->signature = std::move(sig), g.store->outs = std::move(outs);
  }
}

void TreePrograms::clear(int times) {
  code.clear();
  subdefs.clear();
  subdef_slots.clear();
  reg.clear();
  reads_of.clear();
  by_set.clear();
  kept.clear();
  programs.clear();
  nsets = std::max(times, 1);
  set = 0;
}

void TreePrograms::restart() {
  set = 0;
  for (Program &g : programs) g.placed = false, g.times_kept = 0, g.sets_run = false;
}

// Compiles n into instructions; returns its register and its reads, or -1 where the tree
// has a node the loop must not take (a non-scalar value or a missing operand).
int32_t TreePrograms::compile(const TreeNode *n, uint8_t *reads, std::vector<int32_t> &defs) {
  if (!n || n->valuetag != vtag::scalar) return -1;
  auto emit = [&](uint8_t kind, const TreeNode *node, int32_t a, int32_t b, uint8_t r) {
    int32_t out = int32_t(reg.size());
    reg.push_back(0);
    reads_of.push_back(r);
    by_set.push_back(keep_class(r) != reads_position);
    code.push_back(Instr{kind, keep_class(r), out, a, b, node});
    *reads = r;
    return out;
  };
  switch (n->group) {
    case leafop:
      switch (n->opcode) {
        case op::realzero:
        case op::realval:
          *reads = 0;
          reg.push_back(n->opcode == op::realval ? n->value : 0.0);
          reads_of.push_back(0);
          by_set.push_back(0);
          return int32_t(reg.size()) - 1;
        case op::xcoord: return emit(k_x, n, 0, 0, reads_position);
        case op::ycoord: return emit(k_y, n, 0, 0, reads_position);
        case op::zcoord: return emit(k_z, n, 0, 0, reads_position);
        case op::tcoord: return emit(k_t, n, 0, 0, reads_time);
        default: return emit(k_call, n, 0, 0, reads_more);
      }
    case unop: {
      if (n->opcode == op::randomf || n->opcode == op::arrayref) return emit(k_call, n, 0, 0, reads_more);
      uint8_t r = 0;
      int32_t a = compile(n->child[0], &r, defs);
      if (a < 0) return -1;
      uint8_t kind = n->opcode == op::negateop ? k_neg
                     : n->opcode == op::square ? k_square
                     : n->opcode == op::sinf   ? k_sin
                     : n->opcode == op::cosf   ? k_cos
                                               : k_unop;
      return emit(kind, n, a, 0, r);
    }
    case binop: {
      uint8_t ra = 0, rb = 0;
      int32_t a = compile(n->child[0], &ra, defs);
      if (a < 0) return -1;
      int32_t b = compile(n->child[1], &rb, defs);
      if (b < 0) return -1;
      uint8_t kind = n->opcode == op::addop   ? k_add
                     : n->opcode == op::subop ? k_sub
                     : n->opcode == op::mulop ? k_mul
                                              : k_binop;
      return emit(kind, n, a, b, uint8_t(ra | rb));
    }
    case weirdop:
      if (n->opcode == op::subdef) {
        uint8_t r = 0;
        int32_t a = compile(n->child[0], &r, defs);
        if (a < 0) return -1;
        if (n->index >= defs.size()) defs.resize(n->index + 1u, -1);
        if (defs[n->index] >= 0) return -1;  // defined twice: left to the walk
        int32_t out = emit(k_subdef, n, a, 0, r);
        defs[n->index] = out;
        return out;
      }
      if (n->opcode == op::subref && n->index < defs.size() && defs[n->index] >= 0) {
        // The definition met before it in this tree: its register and its reads.
        *reads = reads_of[size_t(defs[n->index])];
        return defs[n->index];
      }
      return emit(k_call, n, 0, 0, reads_more);
    default: return emit(k_call, n, 0, 0, reads_more);
  }
}

bool TreePrograms::add(const TreeNode *tree) {
  size_t code0 = code.size(), reg0 = reg.size();
  defs.clear();
  uint8_t reads = 0;
  int32_t result = compile(tree, &reads, defs);
  if (result < 0) {
    code.resize(code0);
    reg.resize(reg0);
    reads_of.resize(reg0);
    by_set.resize(reg0);
    return false;
  }
  // The values kept over the position first, then those kept over the time, then the rest,
  // each in the walk's order: an operand is computed before the instruction that reads it.
  auto keep_rank = [](const Instr &i) { return i.keep == reads_position ? 0 : i.keep == reads_time ? 1 : 2; };
  std::stable_sort(code.begin() + long(code0), code.end(),
                   [&](const Instr &a, const Instr &b) { return keep_rank(a) < keep_rank(b); });
  Program g{tree, int32_t(code0), 0, 0, int32_t(code.size() - code0), result, int32_t(subdefs.size()), 0, 0};
  for (size_t i = code0; i < code.size(); i++) {
    if (code[i].keep == reads_position) g.positions++, g.rest--;
    if (code[i].keep == reads_time) g.times++, g.rest--;
    if (code[i].kind == k_subdef) subdefs.push_back(code[i]), subdef_slots.push_back(code[i].node->index);
    bool arithmetic = code[i].kind > k_call && code[i].kind <= k_cos;
    if (code[i].keep == 0 && !arithmetic) g.pure = false;
  }
  g.subdefs = int32_t(subdefs.size()) - g.first_subdef;
  programs.push_back(g);
  kept.resize(reg.size() * size_t(nsets));
  return true;
}

int TreePrograms::find(const TreeNode *tree) const {
  for (size_t k = 0; k < programs.size(); k++)
    if (programs[k].root == tree) return int(k);
  return -1;
}

double TreePrograms::run(pde *p, int k, const evalpoint *pt) {
  Program &g = programs[size_t(k)];
  // Where the rest is arithmetic on the registers and every set's time values are taken,
  // the first set's call at a rule point runs the rest for every set at once, each
  // instruction over the sets in turn (the same operations on the same operands), and the
  // calls of the other sets at that point take their values.
  if (set > 0 && g.sets_run && g.sets_generation == rule_generation) {
    leave_subdefs(p, g, set);
    return set_value(g.result, set);
  }
  uint32_t all = nsets >= 32 ? ~0u : (1u << nsets) - 1;
  bool together = set == 0 && nsets > 1 && g.pure && g.rest > 0 && (g.times_kept & all) == all;
  g.sets_run = false;
  // The position-kept values stand while the rule point does, the time-kept ones for a
  // set once they are taken.
  bool position = g.generation != rule_generation || !g.placed;
  bool time = set >= 32 || !(g.times_kept & (1u << set));
  g.generation = rule_generation, g.placed = true;
  if (set < 32) g.times_kept |= 1u << set;
  double *r = reg.data(), *keep = kept.data() + size_t(set) * reg.size();
  const TreeNode *outer = trees_fp_node;
  const Instr *P = code.data() + g.first, *T = P + g.positions, *M = T + g.times, *end = M + g.rest;
  bool restored = position && g.store && restore_positions(*g.store, pt, r);
  if (position && !restored) {
    exec(p, P, T, pt, r, keep, outer);
    if (g.store) save_positions(*g.store, pt, r);
  }
  position = position && !restored;
  if (time) {
    exec(p, T, M, pt, r, keep, outer);
  } else {
    for (const Instr *i = T; i < M; i++) r[i->out] = keep[i->out];
  }
  // The shared subexpressions whose definitions are not run again are left as they ran.
  if (!position || !time)
    for (const Instr *d = subdefs.data() + g.first_subdef, *e = d + g.subdefs; d < e; d++)
      if ((d->keep == reads_position && !position) || (d->keep == reads_time && !time))
        subvalue(p, d->node->index) = r[d->out];
  if (together) {
    exec_sets(p, M, end, outer);
    trees_fp_node = outer;
    g.sets_run = true, g.sets_generation = rule_generation;
    leave_subdefs(p, g, 0);
    return set_value(g.result, 0);
  }
  exec(p, M, end, pt, r, keep, outer);
  trees_fp_node = outer;
  return r[g.result];
}

// The value of the register at set s after exec_sets: its set's own where each set has one.
double TreePrograms::set_value(int32_t x, int s) const {
  return by_set[size_t(x)] ? kept[size_t(s) * reg.size() + size_t(x)] : reg[size_t(x)];
}

// The shared subexpressions of the program as a run at set s leaves them.
void TreePrograms::leave_subdefs(pde *p, const Program &g, int s) {
  const double *own = kept.data() + size_t(s) * reg.size();
  for (int32_t j = g.first_subdef, e = j + g.subdefs; j < e; j++) {
    int32_t x = subdefs[size_t(j)].out;
    uint16_t k = subdef_slots[size_t(j)];
    double v = by_set[size_t(x)] ? own[x] : reg[size_t(x)];
    if (k >= 1 && k <= p->subvalues.count) p->subvalues.data[k - 1] = v;
    else subvalue(p, k) = v;
  }
}

// Runs the arithmetic instructions from i to end for every set: an operand with a value for
// each set is read from that set's kept registers, any other from the registers, and every
// value is written to its set's kept registers.
void TreePrograms::exec_sets(pde *p, const Instr *i, const Instr *end, const TreeNode *outer) {
  const size_t R = reg.size();
  const int n = nsets;
  double *K = kept.data();
  const double *r = reg.data();
  for (; i < end; i++) {
    const double *A = by_set[size_t(i->a)] ? K + i->a : r + i->a;
    const double *B = by_set[size_t(i->b)] ? K + i->b : r + i->b;
    const size_t sa = by_set[size_t(i->a)] ? R : 0, sb = by_set[size_t(i->b)] ? R : 0;
    double *O = K + i->out;
    switch (i->kind) {
      case k_unop:
        for (int s = 0; s < n; s++) trees_fp_node = outer, O[s * R] = eval_unop(p, i->node, A[s * sa]);
        break;
      case k_neg:
        for (int s = 0; s < n; s++) O[s * R] = held(i->node, A[s * sa], [](double x) { return -x; });
        break;
      case k_square:
        for (int s = 0; s < n; s++) O[s * R] = held(i->node, A[s * sa], [](double x) { return x * x; });
        break;
      case k_sin:
        for (int s = 0; s < n; s++) O[s * R] = held(i->node, A[s * sa], [](double x) { return std::sin(x); });
        break;
      case k_cos:
        for (int s = 0; s < n; s++) O[s * R] = held(i->node, A[s * sa], [](double x) { return std::cos(x); });
        break;
      case k_add:
        for (int s = 0; s < n; s++)
          O[s * R] = held(i->node, A[s * sa], B[s * sb], [](double a, double b) { return a + b; });
        break;
      case k_sub:
        for (int s = 0; s < n; s++)
          O[s * R] = held(i->node, A[s * sa], B[s * sb], [](double a, double b) { return a - b; });
        break;
      case k_mul:
        for (int s = 0; s < n; s++)
          O[s * R] = held(i->node, A[s * sa], B[s * sb], [](double a, double b) { return a * b; });
        break;
      case k_binop:
        for (int s = 0; s < n; s++)
          trees_fp_node = outer, O[s * R] = eval_binop(p, i->node, A[s * sa], B[s * sb], false);
        break;
      case k_subdef:
        for (int s = 0; s < n; s++) O[s * R] = A[s * sa];
        break;
      default: rtlib_fatal_in("exec_sets", "NOT ARITHMETIC");
    }
  }
}

// Runs the instructions from i to end.
void TreePrograms::exec(pde *p, const Instr *i, const Instr *end, const evalpoint *pt, double *r, double *keep,
                        const TreeNode *outer) {
  for (; i < end; i++) {
    double v;
    switch (i->kind) {
      // A coordinate the point does not have is the walk's error.
      case k_x: v = std::isnan(pt->x) ? (trees_fp_node = outer, eval(p, i->node, pt)) : pt->x; break;
      case k_y: v = std::isnan(pt->y) ? (trees_fp_node = outer, eval(p, i->node, pt)) : pt->y; break;
      case k_z: v = std::isnan(pt->z) ? (trees_fp_node = outer, eval(p, i->node, pt)) : pt->z; break;
      case k_t: v = pt->t; break;
      case k_call:
        trees_fp_node = outer;
        v = eval(p, i->node, pt);
        break;
      case k_unop: trees_fp_node = outer, v = eval_unop(p, i->node, r[i->a]); break;
      // The operations eval_unop and eval_binop compute in place: the node is held for a
      // trap while it computes (the barriers keep the operation after it is set).
      case k_neg: v = held(i->node, r[i->a], [](double x) { return -x; }); break;
      case k_square: v = held(i->node, r[i->a], [](double x) { return x * x; }); break;
      case k_sin: v = held(i->node, r[i->a], [](double x) { return std::sin(x); }); break;
      case k_cos: v = held(i->node, r[i->a], [](double x) { return std::cos(x); }); break;
      case k_add: v = held(i->node, r[i->a], r[i->b], [](double a, double b) { return a + b; }); break;
      case k_sub: v = held(i->node, r[i->a], r[i->b], [](double a, double b) { return a - b; }); break;
      case k_mul: v = held(i->node, r[i->a], r[i->b], [](double a, double b) { return a * b; }); break;
      case k_binop: trees_fp_node = outer, v = eval_binop(p, i->node, r[i->a], r[i->b], false); break;
      case k_subdef:
        v = r[i->a];
        subvalue(p, i->node->index) = v;
        break;
      default: trees_fp_node = outer, v = eval(p, i->node, pt);
    }
    r[i->out] = v;
    if (i->keep == reads_time) keep[i->out] = v;
  }
}
