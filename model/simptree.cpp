// simptree: the fast scalar evaluator.
#include "model/simptree.h"

#include <cmath>

#include "runtime/debug.h"
#include "runtime/math.h"
#include "runtime/mathcall.h"
#include "runtime/rtlib.h"

int simptree_init() {
  TRACE("simptree");
  return 0;
}

// Writes the node's class line to the debug log and stops.
[[noreturn]] static void trapop(const TreeNode *node) {
  TRACE("trapop");
  if (debug_file) {
    fprintf(debug_file, "ILLEGAL OPERATOR ");
    trees_print_class(debug_file, node, "\n");
  }
  rtlib_fatal_in("trapop", "ILLEGAL OPERATOR!");
}

[[noreturn]] static void trapscalar() {
  TRACE("trapscalar");
  rtlib_fatal_in("trapscalar", "RESULT MUST BE SCALAR!");
}

// Beyond this argument the exponential is held at its limit.
static const double exp_limit = 690.7755279;

// v to the power n by repeated squaring; a negative n gives the reciprocal.
static double intpow(double v, int32_t n) {
  uint32_t m = n < 0 ? uint32_t(-n) : uint32_t(n);
  double r = 1;
  for (double b = v; m; m >>= 1, b *= b)
    if (m & 1) r *= b;
  return n < 0 ? 1 / r : r;
}

static double eval(const TreeNode *n, const evalpoint *p);

static double leaf(const TreeNode *n, const evalpoint *p) {
  switch (n->opcode) {
    case op::realzero: return 0;
    case op::realval: return n->value;
    case op::xcoord: return p->x;
    case op::ycoord: return p->y;
    case op::zcoord: return p->z;
    case op::tcoord: return p->t;
    default: trapop(n);
  }
}

static double logarithm(double v) { return std::log(v <= 1e-300 ? 1e-300 : v); }

static double unary(const TreeNode *n, double v) {
  switch (n->opcode) {
    case op::negateop: return -v;
    case op::intpower: return intpow(v, int16_t(n->index));  // the index is a signed exponent
    case op::square: return v * v;
    case op::sqrt: return std::sqrt(std::fabs(v));
    case op::absf: return std::fabs(v);
    case op::acosf: return rtlib_math([v] { return std::acos(v); });
    case op::asinf: return rtlib_math([v] { return std::asin(v); });
    case op::atanf: return std::atan(v);
    case op::cosf: return std::cos(v);
    case op::coshf: return rtlib_math([v] { return std::cosh(v); });
    case op::sinf: return std::sin(v);
    case op::sinhf: return rtlib_math([v] { return std::sinh(v); });
    case op::tanf: return std::tan(v);
    case op::tanhf: return std::tanh(v);
    case op::besjf: {
      int k = n->index;
      return rtlib_math([k, v] { return k == 0 ? ::j0(v) : k == 1 ? ::j1(v) : ::jn(k, v); });
    }
    case op::besyf: {
      int k = n->index;
      return rtlib_math([k, v] { return k == 0 ? ::y0(v) : k == 1 ? ::y1(v) : ::yn(k, v); });
    }
    case op::erfcf: return std::erfc(v);  // accurate to the last bits, also near 0 and far out
    case op::erff: return std::erf(v);
    case op::expf:
      if (v < -exp_limit) return 0;
      if (v > exp_limit) return 1.00000000000002e300;
      return std::exp2(v * M_LOG2E);
    case op::logf: return logarithm(v);
    case op::log10: return logarithm(v) / M_LN10;
    case op::recipf: return 1 / v;
    case op::signf: return v < 0 ? -1 : 1;
    case op::ustepf: return v < 0 ? 0 : 1;
    case op::lognot: return v == 0 ? 1 : 0;
    default: trapop(n);
  }
}

int simptree_binop(int32_t opcode, double a, double b, bool smooth, double *r) {
  switch (opcode) {
    case op::addop: *r = a + b; break;
    case op::subop: *r = a - b; break;
    case op::mulop: *r = a * b; break;
    case op::divop:
      if (a == 0) {
        *r = 0;
        break;
      }
      if (std::fabs(a) * 1e-300 > std::fabs(b)) return simptree_divzero;
      *r = a / b;
      break;
    case op::modf: *r = rtlib_math([a, b] { return std::fmod(a, b); }); break;
    case op::powerop: *r = rtlib_math([a, b] { return std::pow(a, b); }); break;
    case op::atan2f: {
      double t = std::atan2(a, b);
      *r = t < 0 ? t + 2 * M_PI : t;
      break;
    }
    case op::minf: *r = a < b ? a : b; break;
    case op::maxf: *r = a < b ? b : a; break;
    case op::urampf: *r = a < 0 ? 0 : b < 0 ? a / (a - b) : 1; break;
    case op::upulsef: {
      if (!smooth) {
        *r = a < 0 || b > 0 ? 0 : 1;
        break;
      }
      // Smoothed edges 1% of the pulse's width wide, shaped by the error function.
      double w = 0.01 * (a - b);
      *r = a < -w || b > w ? 0 : a < w ? math_erfx_0(-4 * a / w) : b > -w ? math_erfx_0(4 * b / w) : 1;
      break;
    }
    case op::ltnop: *r = a < b; break;
    case op::leqop: *r = a <= b; break;
    case op::equop: *r = a == b; break;
    case op::neqop: *r = a != b; break;
    case op::geqop: *r = a >= b; break;
    case op::gtrop: *r = a > b; break;
    case op::logor: *r = a > 0 || b > 0; break;
    case op::logand: *r = a > 0 && b > 0; break;
    default: return simptree_badop;
  }
  return 0;
}

static double binary(const TreeNode *n, double a, double b) {
  double r;
  // A constant folds to what the same expression gives at a point: the sharp pulse.
  int e = simptree_binop(n->opcode, a, b, false, &r);
  if (e == simptree_divzero) rtlib_fatal_in("simptree_simpeval_0", "DIVIDE BY ZERO");
  if (e == simptree_badop) trapop(n);
  return r;
}

static double eval(const TreeNode *n, const evalpoint *p) {
  if (n->valuetag != vtag::scalar) trapscalar();
  switch (n->group) {
    case leafop: return leaf(n, p);
    case unop: return unary(n, eval(n->child[0], p));
    case binop: {
      double a = eval(n->child[0], p), b = eval(n->child[1], p);
      return binary(n, a, b);
    }
    case weirdop:
      if (n->opcode != op::ifthen) trapop(n);
      return eval(n->child[2], p) == 0 ? eval(n->child[1], p) : eval(n->child[0], p);
    default: trapop(n);
  }
}

double simptree_simpeval(const TreeNode *tree, const evalpoint *point) {
  TRACE("simptree_simpeval_0");
  return tree ? eval(tree, point) : 0;
}
