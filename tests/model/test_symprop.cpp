// Seeded random trees: the simplified tree keeps the value of the tree it came from, and every
// derivative matches central differences, both evaluated by the fast evaluator.
#include <random>

#include "model/treedif.h"
#include "tests/model/symfix.h"

namespace {

struct Gen {
  std::mt19937 rng;
  bool smooth_only = true;  // false once an approximated function (ERF, ERFC) is used
  // Relations and logical operators as values (every third tree; such trees are not
  // differentiated); otherwise only as conditions, which differentiation leaves alone.
  bool relations;
  int conditions = 0;  // nesting of conditions being built: no ERF or ERFC there, whose
                       // approximation is not exactly odd at 0, under a relation
  explicit Gen(uint32_t seed) : rng(seed), relations(seed % 3 == 0) {}
  int pick(int n) { return int(rng() % uint32_t(n)); }
  TreeNode *node(int32_t opcode, TreeNode *a, TreeNode *b = nullptr, TreeNode *c = nullptr) {
    TreeNode *n = trees_new_0(opcode);
    n->child[0] = a, n->child[1] = b, n->child[2] = c;
    return n;
  }
  TreeNode *num(double v) { return trees_new_real_0(v); }
  // An argument kept positive: 0.5 + a².
  TreeNode *pos(TreeNode *a) { return node(op::addop, num(0.5), node(op::square, a)); }
  TreeNode *leaf() {
    static const double values[] = {0, 1, 2, 0.5, -1.5, 3, -1};
    switch (pick(6)) {
      case 0: return num(values[pick(7)]);
      case 1: return num(std::round((std::uniform_real_distribution<double>(-3, 3)(rng)) * 100) / 100);
      case 2: return trees_new_0(op::xcoord);
      case 3: return trees_new_0(op::ycoord);
      case 4: return trees_new_0(op::tcoord);
      default: return trees_new_0(op::xcoord);
    }
  }
  // The arguments of a call are taken in no set order: each draw is its own statement,
  // the last argument's first, so that every compiler builds the same trees.
  TreeNode *tree(int depth) {
    if (depth == 0 || pick(5) == 0) return leaf();
    auto t = [&] { return tree(depth - 1); };
    static const int32_t plain[] = {op::negateop, op::square, op::absf, op::atanf, op::cosf, op::sinf,
                                    op::tanhf, op::signf, op::ustepf, op::coshf, op::sinhf, op::expf};
    static const int32_t positive[] = {op::sqrt, op::logf, op::log10, op::recipf};
    // UPULSE is differentiated as a step (its smooth edges are ignored): it comes with
    // the relations, in trees that are not differentiated.
    static const int32_t binary[] = {op::addop, op::subop, op::mulop, op::atan2f, op::minf, op::maxf,
                                     op::urampf, op::modf, op::upulsef, op::ltnop, op::leqop, op::equop, op::neqop,
                                     op::geqop, op::gtrop, op::logor, op::logand, op::addop};
    // a(b) and a(b, c) with b, c drawn before a's opcode, c before b.
    auto unary = [&](auto opcode, auto arg) {
      TreeNode *b = arg();
      return node(opcode(), b);
    };
    auto pair = [&](auto opcode, auto left, auto right) {
      TreeNode *c = right();
      TreeNode *b = left();
      return node(opcode(), b, c);
    };
    auto positive_t = [&] { return pos(t()); };
    switch (pick(12)) {
      case 0:
      case 1: return unary([&] { return plain[pick(12)]; }, t);
      case 2: {
        TreeNode *a = positive_t();
        return node(positive[pick(4)], a);
      }
      case 3: {
        if (conditions || relations) return node(op::tanhf, t());
        smooth_only = false;
        TreeNode *a = t();
        return node(pick(2) ? op::erff : op::erfcf, a);
      }
      case 4: {
        int e = pick(7) - 2;
        TreeNode *n = node(op::intpower, e < 0 ? pos(t()) : t());
        n->index = uint16_t(int16_t(e));
        return n;
      }
      case 5: {
        TreeNode *a = node(op::tanhf, t());
        a = node(op::mulop, num(0.9), a);
        return node(pick(2) ? op::asinf : op::acosf, a);
      }
      case 6: return pair([] { return op::divop; }, t, positive_t);
      case 7: {
        TreeNode *e = pick(2) ? t() : num(pick(9) * 0.5 - 2);
        return node(op::powerop, pos(t()), e);
      }
      case 8: return pair([] { return op::modf; }, t, positive_t);
      case 9: {
        TreeNode *a = t(), *b = t();
        conditions++;
        TreeNode *c = pair([&] { return binary[9 + pick(8)]; }, t, t);
        conditions--;
        return node(op::ifthen, a, b, c);
      }
      default: {
        int k = relations ? pick(18) : pick(9);
        if (k == 7) return pair([] { return op::modf; }, t, positive_t);
        return pair([&] { return binary[relations || k < 8 ? k : 17]; }, t, t);
      }
    }
  }
};

// The value at the point and the largest magnitude of any subtree's value there
// (of the branches taken).
double scan(const TreeNode *t, const evalpoint &e, double *scale) {
  if (t->opcode == op::ifthen) scan(t->child[scan(t->child[2], e, scale) != 0 ? 0 : 1], e, scale);
  else
    for (int k = 0; t->group != leafop && k < t->arity; k++) scan(t->child[k], e, scale);
  double v = simptree_simpeval(t, &e);
  *scale = std::max(*scale, std::fabs(v));
  return v;
}

}  // namespace

TEST_F(Symbolic, RandomTreesKeepValuesAndDerivatives) {
  evalpoint points[5] = {};
  const double xyt[5][3] = {{0, 0.7, 0.3}, {0.37, -1.2, 0.5}, {-0.81, 0.45, 1.1}, {1.3, 0.9, -0.4}, {-1.7, -0.6, 2.0}};
  for (int k = 0; k < 5; k++) points[k].x = xyt[k][0], points[k].y = xyt[k][1], points[k].t = xyt[k][2];
  const double h = 1e-5;
  int failures = 0, checked = 0;
  for (uint32_t seed = 1; seed <= 5000 && failures < 5; seed++) {
    Gen g(seed);
    TreeNode *t = g.tree(1 + g.pick(6));
    std::string text = show(t), why;
    // Trees whose own value overflows somewhere near the points are left out.
    bool finite = true;
    std::string own = error_of([&] {
      for (const evalpoint &e : points)
        for (double dx : {-h, 0.0, h}) {
          evalpoint a = e;
          a.x += dx, a.y += dx, a.t += dx;
          double scale = 1;
          scan(t, a, &scale);
          finite = finite && std::isfinite(scale);
        }
    });
    if (!own.empty() || !finite) {
      trees_free_0(t);
      continue;
    }
    std::string stop = error_of([&] {
      uint8_t ch = 0;
      TreeNode *s = treesimp_simplify(trees_copy(t), 1, &ch);
      for (const evalpoint &e : points) {
        double scale = 1, v = scan(t, e, &scale);
        if (!std::isfinite(scale) || scale > 1e12) continue;
        double w = simptree_simpeval(s, &e);
        if (!(std::fabs(v - w) <= 1e-9 * scale))
          why += "simplified " + show(s) + "\nvalue at x=" + std::to_string(e.x) + ": " + std::to_string(v) + " vs " + std::to_string(w) + "; ";
      }
      trees_free_0(s);
      for (int16_t dir : {1, 2, 4}) {
        if (g.relations) break;
        TreeNode *d = treedif_differ(p, trees_copy(t), dir, 1);
        for (const evalpoint &e : points) {
          // Difference quotients over [x - back, x + step].
          auto at = [&](double back, double step) {
            evalpoint a = e, b = e;
            double &ca = dir == 1 ? a.x : dir == 2 ? a.y : a.t, &cb = dir == 1 ? b.x : dir == 2 ? b.y : b.t;
            ca += step, cb -= back;
            return (simptree_simpeval(t, &a) - simptree_simpeval(t, &b)) / (back + step);
          };
          double scale = 1;
          scan(t, e, &scale);
          if (!std::isfinite(scale) || scale > 1e8) continue;
          double dv = scan(d, e, &scale), d1 = at(h, h), d2 = at(h / 2, h / 2);
          // A kink: the one-sided quotients differ by O(1) rather than O(h).
          double kink = (at(0, h) - at(h, 0)) - 2 * (at(0, h / 2) - at(h / 2, 0));
          double tol = (g.smooth_only ? 1e-6 : 1e-5) * scale;
          if (!std::isfinite(scale) || scale > 1e8 || !(std::fabs(d1 - d2) <= tol) || !(std::fabs(kink) <= tol)) continue;
          checked++;
          if (!(std::fabs(dv - d2) <= tol))
            why += "d" + std::string(1, "?XY?T"[dir]) + " at x=" + std::to_string(e.x) + ": " + std::to_string(dv) +
                   " vs " + std::to_string(d2) + "; ";
        }
        trees_free_0(d);
      }
    });
    if (!stop.empty()) why += "stopped: " + stop;
    if (!why.empty()) {
      failures++;
      ADD_FAILURE() << "seed " << seed << ": " << text << "\n" << why;
    }
    trees_free_0(t);
  }
  EXPECT_GT(checked, 20000);
}
