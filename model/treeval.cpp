// treeval: the recursive evaluation of expression trees at a point (scalar, vector,
// complex and basis-array walks); the basis rows the walks read are in treeval_rows.cpp,
// the element integrals built on them in treeval_integrals.cpp.
//
// The four walks stay in one file: they visit the same node kinds with the same error
// reporters, and the vector, complex and basis-array walks fall back on the scalar walk
// and its operators (eval, eval_unop, eval_binop) for every node of a scalar kind.
#include "model/treeval.h"
#include "model/treeval_internal.h"

#include <cmath>
#include <cstring>

#include "model/pdedat_record.h"
#include "elements/basisfun.h"
#include "elements/mfinder.h"
#include "model/lintabs.h"
#include "model/simptree.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/math.h"
#include "runtime/mathcall.h"
#include "runtime/owner.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

uint16_t treeval_region = 0;
uint8_t treeval_debug = 0;
uint8_t treeval_trial = 0;

// Nesting of EVAL points: each level has its own point and work cell, so an inner
// EVAL never moves the point of the one around it.
enum { EVAL_LEVELS = 10 };
static evalpoint eval_points[EVAL_LEVELS];
static LocalCell eval_cells[EVAL_LEVELS];
static uint16_t eval_depth = 0;
static evalpoint xfer_point;
static LocalCell xfer_cell;
static uint16_t fn_depth = 0;  // user-function nesting, 0 outside any

static void hold_trap();
static void locate_trap(const char *text);

int treeval_init() {
  TRACE("treeval");
  rtlib_set_fp_hook(hold_trap, locate_trap);
  for (int k = 0; k < EVAL_LEVELS; k++) eval_points[k].cell = &eval_cells[k];
  xfer_point.cell = &xfer_cell;
  return 0;
}

// Restores a counter when its scope is left, also by an error's jump.
struct DepthScope {
  uint16_t &d;
  uint16_t saved;
  explicit DepthScope(uint16_t &depth) : d(depth), saved(depth) { d++; }
  ~DepthScope() { d = saved; }
};

// ---- Error reporters ------------------------------------------------------------------------

[[noreturn]] static void fail(pde *p, const TreeNode *node, const char *text) {
  StringOwner s;
  strings_copyto_1(s.get(), text);
  report_parse_err_1(p, const_cast<TreeNode *>(node), s.get());
}

// A floating-point trap inside an operation of an expression is the user's error at
// that expression: a zero divisor says so in the words the divisions use.
// The operation being evaluated when the trap came: the report may come after its scope.
static const TreeNode *trap_node = nullptr;
static void hold_trap() { trap_node = trees_fp_node; }
static void locate_trap(const char *text) {
  const TreeNode *n = trap_node;
  trap_node = nullptr;
  if (!n || !report_current) return;
  trees_fp_node = nullptr;
  fail(report_current, n, std::strcmp(text, "Floating-Point Divide by Zero") == 0 ? trees_divide_by_zero : text);
}

[[noreturn]] static void fail_titled(pde *p, const TreeNode *node, const char *text) {
  if (debug_file) trees_print_tree(debug_file, node, text);
  fail(p, node, text);
}

// The node's name with a prefix or a suffix, as the error text.
[[noreturn]] static void fail_named(pde *p, const TreeNode *node, const char *before, const char *after,
                                    bool print) {
  StringOwner s, name;
  strings_copyto_1(s.get(), before);
  trees_treename(name.get(), node);
  strings_addto_0(s.get(), name.get());
  strings_addto_1(s.get(), after);
  if (print && debug_file) trees_print_tree(debug_file, node, s->text);
  report_parse_err_1(p, const_cast<TreeNode *>(node), s.get());
}

[[noreturn]] void trapop(pde *p, const TreeNode *node) {
  TRACE("trapop_0");
  fail_named(p, node, "ILLEGAL OPERATOR: ", "", true);
}
[[noreturn]] static void trapscalar(pde *p, const TreeNode *node) {
  TRACE("trapscalar_0");
  fail_titled(p, node, "RESULT IS NOT SCALAR");
}
[[noreturn]] static void trapvector(pde *p, const TreeNode *node) {
  TRACE("trapvector_0");
  fail_titled(p, node, "VECTOR REQUIRED");
}
[[noreturn]] static void traparg(pde *p, const TreeNode *node) {
  TRACE("traparg_0");
  fail_titled(p, node, "ILLEGAL FUNCTION ARGUMENT");
}
[[noreturn]] static void traparray(pde *p, const TreeNode *node) {
  TRACE("traparray_0");
  fail_named(p, node, "ILLEGAL ARRAY OPERAND: ", "", true);
}
[[noreturn]] static void bad_normal(pde *p, const TreeNode *node) {
  TRACE("bad_normal_0");
  // Named as the user writes the function, not by its operator.
  fail(p, node, node->opcode == op::vtcomp ? "tangential() MUST BE EVALUATED ON A BOUNDARY."
                                           : "normal() MUST BE EVALUATED ON A BOUNDARY.");
}
[[noreturn]] static void bad_ref(pde *p, const TreeNode *node, const char *text) {
  StringOwner s;
  strings_itos_1(s.get(), node->index, 2);
  strings_addto_1(s.get(), text);
  report_parse_err_1(p, const_cast<TreeNode *>(node), s.get());
}
[[noreturn]] static void bad_fit(pde *p, const TreeNode *node) {
  TRACE("bad_fit_0");
  bad_ref(p, node, ": INVALID FIT REFERENCE.");
}
[[noreturn]] static void bad_global(pde *p, const TreeNode *node) {
  TRACE("bad_global_0");
  bad_ref(p, node, ": INVALID GLOBAL REFERENCE.");
}
[[noreturn]] void trapmismatch(pde *p, const TreeNode *node, int32_t left, int32_t right) {
  TRACE("trapmismatch_0");
  if (debug_file) {
    fprintf(debug_file, "MISMATCH LEFT#=%d, RIGHT#=%d\n", left, right);
    trees_print_tree(debug_file, node, "SIZE MISMATCH");
  }
  fail(p, node, "SIZE MISMATCH");
}

// ---- Scalar walk -----------------------------------------------------------------------

// A value that needs a point where there is none.
[[noreturn]] static void no_point(pde *p, const TreeNode *n) {
  fail(p, n, "VALUE NEEDS A POINT: USE VAL(expression, x, y)");
}

// A coordinate of the point; a point without a place (a summary's REPORT gives its
// coordinates no value) asks the user to name one, as a field does.
static double coordinate(pde *p, const TreeNode *n, double v) {
  if (std::isnan(v)) no_point(p, n);
  return v;
}

// The region whose definitions apply at the point.
static uint16_t region_of(const evalpoint *pt) { return pt->cell ? pt->cell->region : treeval_region; }

static int32_t var_basis(pde *p, uint16_t v, const evalpoint *pt) {
  if (v >= 1 && v <= p->basiscodes.count && p->basiscodes.data[v - 1] > 0) return p->basiscodes.data[v - 1];
  return pt->cell ? pt->cell->frame.gbasis : 0;
}

// A nodal field at the point, with the node's derivative selectors. A point in no cell
// (a summary's REPORT) has no field value: the user is told to name the point.
static double field(pde *p, const TreeNode *n, int32_t code, const evalpoint *pt, const vectord *u) {
  if (!pt->cell) no_point(p, n);
  if (!u) trapop(p, n);
  // At a loop's rule point the value row and the first global derivative rows are the
  // ones the loop has formed there: the sums are those of the interpolation below.
  int s = n->deriv[0];
  if (pt == loop_point && pt->qpoint && n->deriv[1] == 0 && code > 0 && code < ELEMENTS_CODES && s <= 3 &&
      (s == 0 || (s <= elements_dimension[code] && elements_dimension[code] <= 3))) {
    const double *row = basis_row(p, code, s, pt);
    int nf = elements_functions[code];
    const int32_t *nodes = pt->cell->nodes;
    double sum = 0;
    for (int i = 0; i < nf; i++) sum += u->data[nodes[i] - 1] * row[i];
    return sum;
  }
  return cellnode_interpu_sel(code, n->deriv[0], int16_t(n->deriv[1]), const_cast<evalpoint *>(pt), u);
}

static double variable(pde *p, const TreeNode *n, const evalpoint *pt, const vector2d *set) {
  uint16_t v = n->index;
  if (!set || v < 1 || v > set->count) trapop(p, n);
  const vectord *u = &set->data[v - 1];
  if (v <= p->vars.count && p->vars.items[v - 1].scalar) return u->count ? u->data[0] : 0;
  return field(p, n, var_basis(p, v, pt), pt, u);
}

static const pdeglobal *global(pde *p, const TreeNode *n) {
  uint16_t k = n->index;
  return k >= 1 && k <= p->globals.count && p->globals.items[k - 1].valid ? &p->globals.items[k - 1] : nullptr;
}

// Definitions that refer to themselves are caught by analysis; this depth only keeps an
// unanalysed cycle from exhausting the stack.
static uint16_t def_depth = 0;

static double definition(pde *p, uint16_t k, const evalpoint *pt, const TreeNode *n) {
  if (k < 1 || k > p->formulas.definitions.count) trapop(p, n);
  DepthScope depth(def_depth);
  if (def_depth > 1000) fail(p, n, "Recursive Evaluation");
  return eval(p, params_find_param_tree(&p->formulas.definitions, k, region_of(pt)), pt);
}

// coord_key: the value a table key stands for at the point.
static double coord_key(pde *p, uint16_t key, const evalpoint *pt, const TreeNode *n) {
  switch (key) {
    case 0: return 0;
    case 1: return coordinate(p, n, pt->x);
    case 2: return coordinate(p, n, pt->y);
    case 3: return coordinate(p, n, pt->z);
    case 4: return pt->t;
    default: break;
  }
  if (key > 100) return definition(p, uint16_t(key - 100), pt, n);
  uint16_t v = uint16_t(key - 4);
  if (!pt->values || !pt->cell || v > pt->values->count) trapop(p, n);
  return cellnode_interpu_0(var_basis(p, v, pt), const_cast<evalpoint *>(pt), &pt->values->data[v - 1]);
}

static double eval_table(pde *p, const TreeNode *n, const evalpoint *pt) {
  tablelist *tl = &p->formulas.definitions.tables;
  if (n->index < 1 || n->index > tl->count) trapop(p, n);
  tableentry *e = &tl->items[n->index - 1];
  float query[3] = {0, 0, 0};
  for (int k = 0; k < 3; k++)
    if (e->keys[k]) query[k] = float(coord_key(p, e->keys[k], pt, n));
  if (n->deriv[0] == 0) return lintabs_linterp(&e->table, query);
  if (n->deriv[1] == 0) return lintabs_linderiv(&e->table, query, n->deriv[0]);
  return lintabs_linderiv_n(&e->table, query, n->deriv, n->deriv[2] ? 3 : 2);
}

// The marker of a point where TRANSFER data has no value.
static const double NO_DATA = 1.00000000000002e300;

static double eval_xfer(pde *p, const TreeNode *n, const evalpoint *pt) {
  xferlist *xl = &p->transfers;
  if (n->index < 1 || n->index > xl->count) trapop(p, n);
  xferdat *x = &xl->items[n->index - 1];
  if (std::isnan(pt->x) || std::isnan(pt->y)) no_point(p, n);
  xfer_point.x = pt->x, xfer_point.y = pt->y, xfer_point.z = pt->z;
  if (mfinder_find_cell(&xfer_point, &x->mesh, 0.1) == 0) {
    // Outside its mesh the data has no value: a plot leaves the point out by the
    // marker, while a sum over rule points (an integral, an equation) or a condition
    // the equations hold would take the marker in as a number.
    if (pt->qpoint || pt->needed) fail(p, n, "NO TRANSFER DATA AT THIS POINT");
    return NO_DATA;
  }
  if (n->key < 1 || int32_t(n->key) > x->values.count) trapop(p, n);
  double v = cellnode_interpu_sel(x->mesh.meshbasis, n->deriv[0], int16_t(n->deriv[1]), &xfer_point,
                                  &x->values.data[n->key - 1]);
  // A value as large as the marker (a file that holds one) is no datum either.
  if (!(std::fabs(v) < NO_DATA)) {
    if (pt->qpoint || pt->needed) fail(p, n, "NO TRANSFER DATA AT THIS POINT");
    return NO_DATA;
  }
  return v;
}

// evalat: child 1 at the point that child 2 (a coordinate point) gives; DEBUG(TREEVAL)
// lists each such evaluation with the cell found.
static double evalat(pde *p, const TreeNode *n, const evalpoint *pt) {
  const TreeNode *at = n->child[1];
  if (!at || at->opcode != op::pointval) fail(p, at ? at : n, "Coordinate Point Expected");
  if (eval_depth >= EVAL_LEVELS) fail(p, n, "Recursive Evaluation");
  double x = eval(p, at->child[0], pt), y = at->arity > 1 ? eval(p, at->child[1], pt) : 0;
  double z = p->dimension == 3 && at->arity > 2 ? eval(p, at->child[2], pt) : 0;
  DepthScope level(eval_depth);
  evalpoint *e = &eval_points[eval_depth - 1];
  LocalCell *cell = e->cell ? e->cell : &eval_cells[eval_depth - 1];
  *e = evalpoint{};
  e->cell = cell;
  e->values = pt->values, e->rates = pt->rates, e->t = pt->t;
  e->x = x, e->y = y, e->z = z;
  int32_t c = p->dimension == 3 ? mfinder_find_cell3(e, &p->mesh, 0.1) : mfinder_find_cell2(e, &p->mesh, 0.1);
  if (c < 0) c = -c;
  if (c == 0) {
    if (debug_file) {
      fprintf(debug_file, "BAD EVAL LOCATION (%g,%g,%g)\n", e->x, e->y, e->z);
      fflush(debug_file);
    }
    return 0;
  }
  cell->region = p->mesh.cells.data[c - 1].region;
  e->cellno = uint32_t(c);
  e->region = cell->region;
  mfinder_boundary_normal(&p->mesh, c, e);  // for normal and tangential components there
  double v = eval(p, n->child[0], e);
  if (treeval_debug && debug_file) fprintf(debug_file, "EVAL AT (%g,%g,%g) CELL %d = %g\n", x, y, z, c, v);
  // A value that is no number ((-8)^(1/3) at the point) is the expression's error there.
  if (std::isnan(v)) fail(p, n, "Invalid Floating-Point Operation");
  return v;
}

static double eval_leafop(pde *p, const TreeNode *n, const evalpoint *pt) {
  uint16_t k = n->index;
  switch (n->opcode) {
    case op::realzero: return 0;
    case op::realval: return n->value;
    case op::xcoord: return coordinate(p, n, pt->x);
    case op::ycoord: return coordinate(p, n, pt->y);
    case op::zcoord: return coordinate(p, n, pt->z);
    case op::tcoord: return pt->t;
    case op::varble: return variable(p, n, pt, pt->values);
    case op::vardot: return variable(p, n, pt, pt->rates);
    case op::eigvec:
      // The current mode's value, a scalar unknown's included (one value, no nodes).
      if (p->mode < 1 || p->mode > p->nmodesets) trapop(p, n);
      return variable(p, n, pt, &p->modesets[p->mode - 1]);
    case op::param: return definition(p, k, pt, n);
    case op::stageparam: return definition(p, uint16_t(p->stage ? k + p->stage - 1 : k), pt, n);
    case op::stageval: return p->stagevalue;
    case op::fargop: {
      uint16_t f = uint16_t(k / 4), a = uint16_t(k % 4);
      for (uint16_t d = fn_depth; d >= 1; d--)
        if (p->frames[d - 1].function == f) return a >= 1 ? p->frames[d - 1].args[a - 1] : 0;
      return 0;  // no frame holds the function
    }
    case op::voljac:
      if (!pt->cell) trapop(p, n);
      return pt->cell->frame.absdet;
    case op::lambda:
      return p->mode >= 1 && p->mode <= p->eigenvalues.count ? p->eigenvalues.data[p->mode - 1] : 0;
    case op::febasis:
      if (n->deriv[0]) trapop(p, n);
      return basisfun_basis_0(pt->basisfn, int32_t(k), pt->local);
    case op::treestring: rtlib_fatal_in("eval_leafop_0", "TREESTRING?");
    case op::tableval: return eval_table(p, n, pt);
    case op::xferval: return eval_xfer(p, n, pt);
    case op::fitfun: case op::savefun: case op::jelem: {
      const pdeglobal *g = global(p, n);
      if (!g) bad_fit(p, n);
      return field(p, n, g->basis, pt, &g->values);
    }
    case op::globalmin: case op::globalmax: case op::volint: case op::surfint: case op::bdryint: {
      const pdeglobal *g = global(p, n);
      if (!g) bad_global(p, n);
      return g->value;
    }
    case op::minspot: case op::maxspot: {
      const pdeglobal *g = global(p, n);
      if (!g) bad_global(p, n);
      return n->deriv[0] >= 1 && n->deriv[0] <= 3 ? g->location[n->deriv[0] - 1] : 0;
    }
    case op::deltat: return p->dt;
    case op::evalop: {
      // Its derivative by an unknown has no value at the point evaluated: the unknowns
      // at the value's own point carry it, and the assembly enters them there.
      if (n->deriv[3]) return 0;
      const pdeglobal *g = global(p, n);
      if (!g || n->deriv[0]) bad_global(p, n);
      return g->value;
    }
    case op::sumvar:
      if (k < 1 || k > p->sumvalues.count) bad_fit(p, n);
      return p->sumvalues.data[k - 1];
    default: trapop(p, n);
  }
}

// x to the integer power k by repeated squaring; a negative k gives the reciprocal.
static double intpow(double x, int32_t k) {
  uint32_t m = k < 0 ? uint32_t(-k) : uint32_t(k);
  double r = 1;
  for (double b = x; m; m >>= 1, b *= b)
    if (m & 1) r *= b;
  return k < 0 ? 1 / r : r;
}

static const double exp_limit = 690.7755279;

static double logarithm(pde *p, const TreeNode *n, double x) {
  if (x < 0) fail(p, n, "Log of negative number");
  return std::log(x > 1e-300 ? x : 1e-300);
}

double eval_unop(pde *p, const TreeNode *n, double x) {
  TreesFpScope at(n);
  int16_t k = int16_t(n->index);
  switch (n->opcode) {
    case op::negateop: return -x;
    case op::intpower: return intpow(x, k);
    case op::square: return x * x;
    case op::sqrt:
      if (x < 0) fail(p, n, "Square Root of Negative Number");
      return std::sqrt(x);
    case op::absf: return std::fabs(x);
    case op::acosf: return rtlib_math([x] { return std::acos(x); });
    case op::asinf: return rtlib_math([x] { return std::asin(x); });
    case op::atanf: return std::atan(x);
    case op::besjf: return rtlib_math([k, x] { return k == 0 ? ::j0(x) : k == 1 ? ::j1(x) : ::jn(k, x); });
    case op::besyf: return rtlib_math([k, x] { return k == 0 ? ::y0(x) : k == 1 ? ::y1(x) : ::yn(k, x); });
    case op::cosf: return std::cos(x);
    case op::coshf: return rtlib_math([x] { return std::cosh(x); });
    case op::sinf: return std::sin(x);
    case op::sinhf: return rtlib_math([x] { return std::sinh(x); });
    case op::tanf: return std::tan(x);
    case op::tanhf: return std::tanh(x);
    case op::erfcf: return std::erfc(x);
    case op::erff: return std::erf(x);
    case op::expf:
      if (x < -exp_limit) return 0;
      if (x > exp_limit) {
        if (treeval_trial) return HUGE_VAL;
        fail(p, n, "Exponential Overflow");
      }
      return std::exp(x);
    case op::logf: return logarithm(p, n, x);
    case op::log10: return logarithm(p, n, x) / math_ln10;
    case op::recipf: return 1 / x;
    case op::signf: return x < 0 ? -1 : 1;
    case op::ustepf: return x < 0 ? 0 : 1;
    case op::lognot: return x == 0 ? 1 : 0;
    case op::passive: return x;
    case op::gamma:
      if (!(x > 0)) traparg(p, n);
      return math_gamma_0(x);
    case op::eifun:
      if (!(x > 0)) traparg(p, n);
      return math_expint_ei(x);
    case op::gammai:
      if (!(x > 0)) traparg(p, n);
      if (double a = trees_gamma_order(n); a > 0) return math_gamma_1(a, x);
      return math_expint(1, x);  // order 0 is E1
    case op::expint:
      if (!(x > 0)) traparg(p, n);
      return math_expint(uint16_t(k), x);
    case op::randomf: return math_ranf() * x;
    case op::arrayref: {
      // The truncated index is checked before it is narrowed (NaN fails the test).
      double i = std::trunc(x);
      vectord *a = arys_find_array_def(&p->formulas.arrays, n->index);
      if (!(i >= 1 && i <= a->count)) fail(p, n, "Array Index Out of Range");
      return a->data[int32_t(i) - 1];
    }
    default: trapop(p, n);
  }
}

// The binop table; smooth selects the smoothed pulse of the basis-array walk.
// The sums and products of the binop table computed in place, the node held for a trap
// as the table's call holds it: the barriers keep the operation after the node is set
// and before it is restored.
static inline bool plain_arithmetic(const TreeNode *n, double a, double b, double *r) {
  int32_t o = n->opcode;
  if (o != op::addop && o != op::subop && o != op::mulop) return false;
  TreesFpScope at(n);
  asm volatile("" : "+m"(a), "+m"(b)::"memory");
  double v = o == op::addop ? a + b : o == op::subop ? a - b : a * b;
  asm volatile("" : "+m"(v)::"memory");
  *r = v;
  return true;
}

double eval_binop(pde *p, const TreeNode *n, double a, double b, bool smooth) {
  double r;
  if (plain_arithmetic(n, a, b, &r)) return r;
  TreesFpScope at(n);
  int e = simptree_binop(n->opcode, a, b, smooth, &r);
  if (e == simptree_divzero) fail(p, n, trees_divide_by_zero);
  if (e == simptree_badop) trapop(p, n);
  return r;
}

static double divide(pde *p, const TreeNode *n, double a, double b) {
  TreesFpScope at(n);
  double r;
  if (simptree_binop(op::divop, a, b, false, &r)) fail(p, n, trees_divide_by_zero);
  return r;
}

// The normal against which normal and tangential components are taken: the caller's
// at side 0 (none given: the point lies on no boundary), else the outward vector of
// the side from the frame.
static void normal_of(pde *p, const TreeNode *n, const evalpoint *pt, double nv[3]) {
  int dim = p->dimension == 3 ? 3 : 2;
  if (pt->side == 0) {
    nv[0] = pt->nx, nv[1] = pt->ny, nv[2] = pt->nz;
    if (nv[0] == 0 && nv[1] == 0 && nv[2] == 0) bad_normal(p, n);  // no boundary here
    return;
  }
  if (pt->side > dim + 1 || !pt->cell) bad_normal(p, n);
  // The side's outward vector from the frame, outward whatever the cell's orientation.
  for (int k = 0; k < 3; k++) nv[k] = k < dim ? treeval_side_factor(dim, k + 1, &pt->cell->frame, pt->side) : 0;
}

// Component c (0-based) of child 1 of a component operator: an explicit vector's child
// directly, otherwise from the vector walk.
static double component(pde *p, const TreeNode *v, int c, const evalpoint *pt) {
  if (v->opcode == op::vector) return c < v->arity ? eval(p, v->child[c], pt) : 0;
  double w[3];
  treeval_eval_vec(p, w, v, pt);
  return w[c];
}

// Normal, tangential, length and squared length of the vector w against normal nv.
static double vector_rule(int32_t opcode, int dim, const double w[3], const double nv[3]) {
  double N = std::sqrt(nv[0] * nv[0] + nv[1] * nv[1] + nv[2] * nv[2]);
  double l2 = w[0] * w[0] + w[1] * w[1] + (dim == 3 ? w[2] * w[2] : 0);
  switch (opcode) {
    case op::vlength: return std::sqrt(l2);
    case op::vlength2: return l2;
    case op::vncomp: return (w[0] * nv[0] + w[1] * nv[1] + (dim == 3 ? w[2] * nv[2] : 0)) / N;
    default:
      if (dim == 2) return (nv[0] * w[1] - nv[1] * w[0]) / N;
      double cx = nv[1] * w[2] - nv[2] * w[1], cy = nv[2] * w[0] - nv[0] * w[2], cz = nv[0] * w[1] - nv[1] * w[0];
      return std::sqrt(cx * cx + cy * cy + cz * cz) / N;
  }
}

static double vscalar(pde *p, const TreeNode *n, const evalpoint *pt) {
  const TreeNode *v = n->child[0];
  int dim = p->dimension == 1 ? 1 : p->dimension == 3 ? 3 : 2;
  if (dim == 1) {
    switch (n->opcode) {
      case op::vdot: return component(p, n->child[1], 0, pt) * component(p, v, 0, pt);
      case op::vlength: case op::vxcomp: case op::vncomp: return component(p, v, 0, pt);
      case op::vlength2: {
        double a = component(p, v, 0, pt);
        return a * a;
      }
      default: return 0;
    }
  }
  switch (n->opcode) {
    case op::vxcomp: return component(p, v, 0, pt);
    case op::vycomp: return component(p, v, 1, pt);
    case op::vzcomp:
      if (dim == 2) trapop(p, n);
      return component(p, v, 2, pt);
    case op::vlength: case op::vlength2: case op::vncomp: case op::vtcomp: {
      double w[3], nv[3] = {0, 0, 0};
      if (treeval_eval_vec(p, w, v, pt) != vtag::vector) trapvector(p, dim == 2 ? n : v);
      if (n->opcode == op::vncomp || n->opcode == op::vtcomp) normal_of(p, n, pt, nv);
      return vector_rule(n->opcode, dim, w, nv);
    }
    case op::vdot: case op::vcross: {
      double a[3], b[3];
      treeval_eval_vec(p, a, v, pt);
      treeval_eval_vec(p, b, n->child[1], pt);
      if (n->opcode == op::vdot) return a[0] * b[0] + a[1] * b[1] + (dim == 3 ? a[2] * b[2] : 0);
      if (dim == 2) return a[0] * b[1] - a[1] * b[0];
      trapop(p, n);
    }
    default: trapop(p, n);
  }
}

// A shared-subexpression slot, the vector grown to hold it on first use.
static double *subscalar(vectord *v, uint16_t k) {
  if (k > v->count) vectord_resize(v, k, k > v->capacity ? k + 8 : v->capacity);
  return &v->data[k - 1];
}
double &subvalue(pde *p, uint16_t k) { return *subscalar(&p->subvalues, k); }
static vectord *submember(vector2d *v, uint16_t k, int32_t size) {
  if (k > v->count) vector2d_resize(v, k, k > v->capacity ? k + 8 : v->capacity);
  vectord *m = &v->data[k - 1];
  if (m->capacity < size) vectord_resize(m, m->count, size);
  return m;
}

static double fparam(pde *p, const TreeNode *n, const evalpoint *pt) {
  DepthScope depth(fn_depth);
  if (fn_depth > PDEDAT_MAX_FRAMES) fail(p, n, "Recursive Evaluation");
  pdeframe *f = &p->frames[fn_depth - 1];
  f->function = n->index;
  for (int i = 0; i < n->arity && i < 3; i++) f->args[i] = eval(p, n->child[i], pt);
  return definition(p, n->index, pt, n);
}

static double sumop(pde *p, const TreeNode *n, const evalpoint *pt) {
  // The bounds are whole numbers of 32 bits: one beyond is refused, not cut short.
  double lo = std::trunc(eval(p, n->child[0], pt)), hi = std::trunc(eval(p, n->child[1], pt));
  const double most = 2147483647.0;
  if (!(std::fabs(lo) <= most && std::fabs(hi) <= most)) fail(p, n, "Illegal argument");
  int64_t a = int64_t(lo), b = int64_t(hi);
  double *slot = subscalar(&p->sumvalues, n->index ? n->index : 1);
  double s = 0;
  for (int64_t i = a; i <= b; i++) {
    *slot = i;
    s += eval(p, n->child[2], pt);
    slot = &p->sumvalues.data[(n->index ? n->index : 1) - 1];  // the summand may grow the vector
  }
  return s;
}

static double eval_weirdop(pde *p, const TreeNode *n, const evalpoint *pt) {
  switch (n->opcode) {
    case op::ifthen: return eval(p, n->child[2], pt) != 0 ? eval(p, n->child[0], pt) : eval(p, n->child[1], pt);
    case op::sumop: return sumop(p, n, pt);
    case op::fparam: return fparam(p, n, pt);
    case op::fevalop: return evalat(p, n, pt);
    case op::subdef: {
      double v = eval(p, n->child[0], pt);
      *subscalar(&p->subvalues, n->index) = v;
      return v;
    }
    case op::subref: return n->index >= 1 && n->index <= p->subvalues.count ? p->subvalues.data[n->index - 1] : 0;
    default: trapop(p, n);
  }
}

static double eval_node(pde *p, const TreeNode *n, const evalpoint *pt);

double eval(pde *p, const TreeNode *n, const evalpoint *pt) {
  if (!n) return 0;
  if (n->memo && sweep_memo) return eval_kept(p, n, pt);
  return eval_node(p, n, pt);
}

SweepMemo *sweep_memo = nullptr;

// Writes the kept values of the shared subexpressions defined at or beneath the slot's
// node (its own and the slots after it up to its end) into their places, as computing
// the node would have.
static void restore_subdefs(pde *p, int32_t slot) {
  const SweepMemo &m = *sweep_memo;
  for (int32_t j = slot; j < m.beneath[slot]; j++) {
    const TreeNode *d = m.nodes[j];
    if (d->opcode == op::subdef)
      *subscalar(&p->subvalues, d->index) = m.values[j * sweep_times + (m.position[j] ? 0 : m.set)];
  }
}

double eval_kept(pde *p, const TreeNode *n, const evalpoint *pt) {
  const SweepMemo &m = *sweep_memo;
  int32_t slot = n->memo - 1;
  bool position = m.position[slot] != 0;
  double &v = m.values[slot * sweep_times + (position ? 0 : m.set)];
  if (position ? m.set == 0 : m.first_point) return v = eval_node(p, n, pt);
  if (m.beneath[slot] > slot + 1 || n->opcode == op::subdef) restore_subdefs(p, slot);
  return v;
}

static double eval_node(pde *p, const TreeNode *n, const evalpoint *pt) {
  if (n->valuetag != vtag::scalar) trapscalar(p, n);
  switch (n->group) {
    case leafop: return eval_leafop(p, n, pt);
    case unop: return eval_unop(p, n, eval(p, n->child[0], pt));
    case binop: {
      double a = eval(p, n->child[0], pt);
      double b = eval(p, n->child[1], pt);
      return eval_binop(p, n, a, b, false);
    }
    case integrop:
      if (n->opcode != op::integral && n->opcode != op::bintegral) trapop(p, n);
      return n->deriv[0] == 0 ? eval(p, n->child[0], pt) : 0;
    case complexop: {
      complexd c{};
      if (n->opcode == op::clength) {
        treeval_eval_complex(p, &c, n->child[0], pt);
        return std::sqrt(c.re * c.re + c.im * c.im);
      }
      if (n->opcode == op::creal) return treeval_eval_complex(p, &c, n->child[0], pt), c.re;
      trapop(p, n);
    }
    case vectorop: return vscalar(p, n, pt);
    case weirdop: return eval_weirdop(p, n, pt);
    default: trapop(p, n);
  }
}

double treeval_eval(pde *p, const TreeNode *tree, const evalpoint *point) {
  TRACE("treeval_eval_0");
  return eval(p, tree, point);
}

// ---- Vector and complex walks -------------------------------------------------------------

static int32_t vec_of(pde *p, double out[3], const TreeNode *n, const evalpoint *pt) {
  int32_t t = treeval_eval_vec(p, out, n, pt);
  if (t != vtag::vector) trapop(p, n);
  return t;
}

int32_t treeval_eval_vec(pde *p, double out[3], const TreeNode *n, const evalpoint *pt) {
  out[0] = out[1] = out[2] = 0;
  if (!n) return vtag::scalar;
  // An explicit vector node is a vector whatever its tag says.
  bool explicit_vector = n->opcode == op::vector || n->opcode == op::nullvector;
  if (n->valuetag == vtag::scalar && !explicit_vector) {
    out[0] = eval(p, n, pt);
    return vtag::scalar;
  }
  if (n->valuetag != vtag::vector && !explicit_vector) trapop(p, n);
  switch (n->opcode) {
    case op::param: case op::stageparam:
      if (n->index < 1 || n->index > p->formulas.definitions.count) trapop(p, n);
      return treeval_eval_vec(p, out, params_find_param_tree(&p->formulas.definitions, n->index, region_of(pt)), pt);
    case op::negateop: case op::passive: {
      vec_of(p, out, n->child[0], pt);
      if (n->opcode == op::negateop) out[0] = -out[0], out[1] = -out[1], out[2] = -out[2];
      return vtag::vector;
    }
    case op::addop: case op::subop: case op::mulop: case op::divop: {
      double a[3], b[3];
      int32_t ta = treeval_eval_vec(p, a, n->child[0], pt), tb = treeval_eval_vec(p, b, n->child[1], pt);
      bool add = n->opcode == op::addop || n->opcode == op::subop;
      if (add && ta == vtag::vector && tb == vtag::vector) {
        double s = n->opcode == op::addop ? 1 : -1;
        for (int k = 0; k < 3; k++) out[k] = a[k] + s * b[k];
      } else if (n->opcode == op::mulop && ta == vtag::scalar && tb == vtag::vector) {
        for (int k = 0; k < 3; k++) out[k] = a[0] * b[k];
      } else if (!add && ta == vtag::vector && tb == vtag::scalar) {
        for (int k = 0; k < 3; k++) out[k] = n->opcode == op::mulop ? a[k] * b[0] : a[k] / b[0];
      } else {
        trapop(p, n);
      }
      return vtag::vector;
    }
    case op::vector:
      for (int k = 0; k < n->arity && k < 3; k++) out[k] = eval(p, n->child[k], pt);
      return vtag::vector;
    case op::nullvector: return vtag::vector;
    case op::ifthen:
      return treeval_eval_vec(p, out, eval(p, n->child[2], pt) != 0 ? n->child[0] : n->child[1], pt);
    case op::subdef: {
      int32_t t = treeval_eval_vec(p, out, n->child[0], pt);
      vectord *m = submember(&p->subvectors, n->index, 3);
      m->count = 3;
      for (int k = 0; k < 3; k++) m->data[k] = out[k];
      return t;
    }
    case op::subref:
      if (n->index >= 1 && n->index <= p->subvectors.count)
        for (int k = 0; k < 3 && k < p->subvectors.data[n->index - 1].count; k++)
          out[k] = p->subvectors.data[n->index - 1].data[k];
      return vtag::vector;
    default: trapop(p, n);
  }
}

int32_t treeval_eval_complex(pde *p, complexd *out, const TreeNode *n, const evalpoint *pt) {
  out->re = out->im = 0;
  if (!n) return 0;
  if (n->valuetag != vtag::complex) trapop(p, n);
  switch (n->opcode) {
    case op::negateop: case op::passive: {
      if (!n->child[0] || n->child[0]->valuetag != vtag::complex) trapop(p, n);
      treeval_eval_complex(p, out, n->child[0], pt);
      if (n->opcode == op::negateop) out->re = -out->re, out->im = -out->im;
      return vtag::complex;
    }
    case op::addop: case op::subop: case op::mulop: case op::divop: {
      const TreeNode *l = n->child[0], *r = n->child[1];
      bool lc = l && l->valuetag == vtag::complex, rc = r && r->valuetag == vtag::complex;
      complexd a{}, b{};
      if (lc) treeval_eval_complex(p, &a, l, pt);
      else a.re = eval(p, l, pt);
      if (rc) treeval_eval_complex(p, &b, r, pt);
      else b.re = eval(p, r, pt);
      switch (n->opcode) {
        case op::addop: complexd_cadd(out, &a, &b); break;
        case op::subop: complexd_csub(out, &a, &b); break;
        case op::mulop: complexd_cmul(out, &a, &b); break;
        default:
          if (!rc) out->re = a.re / b.re, out->im = a.im / b.re;
          else if (!lc) {
            double d = b.re * b.re + b.im * b.im;
            out->re = a.re * b.re / d, out->im = -a.re * b.im / d;
          } else {
            complexd_cdiv(out, &a, &b);
          }
      }
      return vtag::complex;
    }
    case op::cexpf: {
      complexd a{};
      const TreeNode *c = n->child[0];
      if (c && c->valuetag == vtag::complex) treeval_eval_complex(p, &a, c, pt);
      else a.re = eval(p, c, pt);
      complexd_cexp(out, &a);
      return vtag::complex;
    }
    case op::ifthen:
      return treeval_eval_complex(p, out, eval(p, n->child[2], pt) != 0 ? n->child[0] : n->child[1], pt);
    default: trapop(p, n);
  }
}

// ---- Basis-array walk ----------------------------------------------------------------------

// A work array of the problem's chain, given back when the scope is left.
struct WorkArray {
  pde *p;
  pdeblock *saved;
  double *a;
  explicit WorkArray(pde *pp) : p(pp) {
    if (!p->worklist) p->worklist = &p->firstblock;
    saved = p->worklist;
    pdeblock *b = saved->next;
    if (!b) {
      int32_t size = int32_t(sizeof(pdeblock) + 20 * sizeof(double));
      bopmemalloc_raw(reinterpret_cast<void **>(&b), 1, uint32_t(size));
      XMEM += size;
      b->size = size;
      b->next = nullptr;
      saved->next = b;
    }
    p->worklist = b;
    a = reinterpret_cast<double *>(b + 1);
  }
  ~WorkArray() { p->worklist = saved; }
};

int32_t functions_of(int32_t code) { return code > 0 && code < ELEMENTS_CODES ? elements_functions[code] : 1; }

static int32_t vscalar_ba(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t code);

static int32_t ba_binop(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t code) {
  WorkArray w(p);
  double *l = w.a;
  int32_t L = treeval_eval_ba(p, l, n->child[0], pt, code);
  int32_t R = treeval_eval_ba(p, out, n->child[1], pt, code);
  if (L == 1 && R == 1) {
    out[0] = eval_binop(p, n, l[0], out[0], true);
    return 1;
  }
  if (L != R && L != 1 && R != 1) {
    if (debug_file) {
      trees_print_tree(debug_file, n, "FAILED:");
      fprintf(debug_file, "BINOP: LEFT#=%d, RIGHT#=%d\n", L, R);
    }
    trapmismatch(p, n, L, R);
  }
  int32_t m = L == 1 ? R : L;
  int32_t op = n->opcode;
  if (op != op::addop && op != op::subop && op != op::mulop && op != op::divop) trapop(p, n);
  double single = R == 1 ? out[0] : 0;  // out[0] is overwritten first
  if (op == op::divop) {
    for (int32_t i = 0; i < m; i++) out[i] = divide(p, n, L == 1 ? l[0] : l[i], R == 1 ? single : out[i]);
    return m;
  }
  // The sums and products, each entry's operation as the division's loop takes it; the
  // operation and the operands' shapes are settled once for the loop.
  auto apply = [&](auto f) {
    if (L == 1) {
      for (int32_t i = 0; i < m; i++) out[i] = f(l[0], out[i]);
    } else if (R == 1) {
      for (int32_t i = 0; i < m; i++) out[i] = f(l[i], single);
    } else {
      for (int32_t i = 0; i < m; i++) out[i] = f(l[i], out[i]);
    }
  };
  if (op == op::addop) apply([](double a, double b) { return a + b; });
  else if (op == op::subop) apply([](double a, double b) { return a - b; });
  else apply([](double a, double b) { return a * b; });
  return m;
}

int32_t treeval_eval_ba(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t code) {
  if (!n) {
    out[0] = 0;
    return 1;
  }
  switch (n->group) {
    case leafop:
      if (n->opcode == op::febasis) {
        int32_t c = n->index;
        if (pt->qpoint == 0 || n->deriv[1]) return elements_basis_sel(out, n->deriv[0], n->deriv[1], c, pt->local, &pt->cell->frame);
        if (n->deriv[0] == 0) {
          int nf = elements_functions[c];
          std::memcpy(out, basis_row(p, c, 0, pt), sizeof(double) * nf);
          return nf;
        }
        return global_row(p, out, c, n->deriv[0], pt);
      }
      out[0] = eval(p, n, pt);
      return 1;
    case unop: {
      int32_t m = treeval_eval_ba(p, out, n->child[0], pt, code);
      if (m == 1) {
        out[0] = eval_unop(p, n, out[0]);
      } else if (n->opcode == op::negateop) {
        for (int32_t i = 0; i < m; i++) out[i] = -out[i];
      } else if (n->opcode != op::passive) {
        traparray(p, n);
      }
      return m;
    }
    case binop: {
      return ba_binop(p, out, n, pt, code);
    }
    case integrop:
      if (!pt->constrflag) rtlib_fatal_in("treeval_eval_ba_0", "ILLEGAL INTEGRAL");
      return unweighted_integral(p, out, n, pt, code);
    case vectorop: return vscalar_ba(p, out, n, pt, code);
    case weirdop:
      switch (n->opcode) {
        case op::ifthen:
          return treeval_eval_ba(p, out, eval(p, n->child[2], pt) != 0 ? n->child[0] : n->child[1], pt, code);
        case op::sumop: {
          if (n->rhsclass != varex) {
            out[0] = eval(p, n, pt);
            return 1;
          }
          int32_t m = functions_of(code);
          uint8_t saved = pt->basisfn;
          for (int32_t i = 1; i <= m; i++) {
            pt->basisfn = uint8_t(i);
            out[i - 1] = eval(p, n, pt);
          }
          pt->basisfn = saved;
          return m;
        }
        case op::fevalop: out[0] = eval(p, n, pt); return 1;
        case op::subdef: {
          int32_t m = treeval_eval_ba(p, out, n->child[0], pt, code);
          vectord *a = submember(&p->slotvalues, n->index, 20);
          if (m == 1) {
            *subscalar(&p->subvalues, n->index) = out[0];
            a->count = 0;
          } else {
            std::memcpy(a->data, out, sizeof(double) * m);
            a->count = m;
          }
          return m;
        }
        case op::subref: {
          uint16_t k = n->index;
          if (k >= 1 && k <= p->slotvalues.count && p->slotvalues.data[k - 1].count) {
            const vectord *a = &p->slotvalues.data[k - 1];
            std::memcpy(out, a->data, sizeof(double) * a->count);
            return a->count;
          }
          out[0] = eval(p, n, pt);
          return 1;
        }
        default: trapop(p, n);
      }
    default: trapop(p, n);
  }
}

// The components of child 1 of a vector operator as basis arrays: an explicit vector's
// children, or the values of the vector walk with count 1.
static int32_t ba_components(pde *p, double (*c)[20], int32_t m[3], const TreeNode *v, evalpoint *pt, int32_t code,
                             bool need_vector, const TreeNode *n) {
  if (v && v->opcode == op::vector) {
    int32_t count = 1;
    for (int k = 0; k < 3; k++) {
      if (k < v->arity) m[k] = treeval_eval_ba(p, c[k], v->child[k], pt, code);
      else m[k] = 1, c[k][0] = 0;
      if (m[k] != 1) {
        if (count != 1 && count != m[k]) trapmismatch(p, n, count, m[k]);
        count = m[k];
      }
    }
    return count;
  }
  double w[3];
  if (treeval_eval_vec(p, w, v, pt) != vtag::vector && need_vector) trapvector(p, n);
  for (int k = 0; k < 3; k++) m[k] = 1, c[k][0] = w[k];
  return 1;
}

static int32_t vscalar_ba(pde *p, double *out, const TreeNode *n, evalpoint *pt, int32_t code) {
  int dim = p->dimension == 1 ? 1 : p->dimension == 3 ? 3 : 2;
  int32_t opc = n->opcode;
  if (opc == op::vdot || opc == op::vcross || dim == 1) {
    out[0] = vscalar(p, n, pt);
    return 1;
  }
  if (opc != op::vxcomp && opc != op::vycomp && opc != op::vzcomp && opc != op::vlength && opc != op::vlength2 &&
      opc != op::vncomp && opc != op::vtcomp)
    trapop(p, n);
  if (opc == op::vzcomp && dim == 2) trapop(p, n);
  const TreeNode *v = n->child[0];
  if (opc == op::vxcomp || opc == op::vycomp || opc == op::vzcomp) {
    int c = opc - op::vxcomp;
    if (v && v->opcode == op::vector) {
      if (c < v->arity) return treeval_eval_ba(p, out, v->child[c], pt, code);
      out[0] = 0;
      return 1;
    }
    out[0] = component(p, v, c, pt);
    return 1;
  }
  double c[3][20];
  int32_t m[3];
  int32_t count = ba_components(p, c, m, v, pt, code, true, n);
  double nv[3] = {0, 0, 0};
  if (opc == op::vncomp || opc == op::vtcomp) normal_of(p, n, pt, nv);
  for (int32_t i = 0; i < count; i++) {
    double w[3] = {c[0][m[0] == 1 ? 0 : i], c[1][m[1] == 1 ? 0 : i], c[2][m[2] == 1 ? 0 : i]};
    out[i] = vector_rule(opc, dim, w, nv);
  }
  return count;
}
