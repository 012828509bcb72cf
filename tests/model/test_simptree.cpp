// The scalar evaluator against mpmath values, and the metric trees of every
// coordinate system through a difference Laplacian checked against sympy.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "model/metrics.h"
#include "model/simptree.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "tests/model/treebuild.h"
#include "tests/runtime/fatal_stop.h"

namespace {

double eval_free(TreeNode *t, double x = 0, double y = 0, double z = 0) {
  evalpoint p{};
  p.x = x, p.y = y, p.z = z;
  double v = simptree_simpeval(t, &p);
  trees_free_0(t);
  return v;
}

TreeNode *unary(int32_t opcode, int16_t index, TreeNode *child) {
  TreeNode *n = trees_new_0(opcode);
  n->index = uint16_t(index);
  n->child[0] = child;
  return n;
}

}  // namespace

TEST(Simptree, ValuesAgainstMpmath) {
  if (!symtab_optree) symtab_operators(&symtab_optree), symtab_builtins(&symtab_optree);
  int64_t before = XMEM;
  struct Case {
    const char *text;
    double x, want, tol;
  } cases[] = {
      {"EXP(-700)", 0, 0, 0},
      {"EXP(700)", 0, 1.00000000000002e300, 0},
      {"EXP(690)", 0, 4.604606404782990e299, 1e-12},
      {"LN(0)", 0, -690.7755278982137, 1e-15},
      {"LN(-5)", 0, -690.7755278982137, 1e-15},
      {"LOG10(0)", 0, -300, 1e-12},
      {"0/0", 0, 0, 0},
      {"1e-301/1e-301", 0, 1, 0},
      {"ATAN2(-1, 0)", 0, 4.712388980384690, 1e-15},
      {"ATAN2(0, -1)", 0, M_PI, 1e-15},
      {"ATAN2(0, 1)", 0, 0, 0},
      {"SIGN(0)", 0, 1, 0},
      {"USTEP(0)", 0, 1, 0},
      {"URAMP(1, -1)", 0, 0.5, 0},
      {"URAMP(-1, X)", 7, 0, 0},
      {"URAMP(-1, X)", -7, 0, 0},
      // The folded pulse is the sharp one a point takes (the smoothed one below).
      {"UPULSE(0.0025, -0.9975)", 0, 1, 0},
      {"UPULSE(1, 0.001)", 0, 0, 0},
      {"IF X > 0 THEN 1 ELSE 1/0", 1, 1, 0},
      {"MAX(X, 2) + MIN(X, 2) - (X <> 2) + MOD(X, 2)", 3, 5, 0},
  };
  for (const Case &c : cases) {
    double v = eval_free(treebuild(c.text), c.x);
    EXPECT_NEAR(v, c.want, std::fabs(c.want) * c.tol) << c.text;
  }
  double smooth = 0;
  EXPECT_EQ(simptree_binop(op::upulsef, 0.0025, -0.9975, true, &smooth), 0);
  EXPECT_NEAR(smooth, 0.9213504, 2e-7);
  struct Built { int32_t opcode; int16_t index; double x, want; } built[] = {
      {op::besjf, 0, 2.5, -0.04838377646819800}, {op::besjf, 3, 2.5, 0.2166003910391135},
      {op::besyf, 1, 1, -0.7812128213002887},    {op::intpower, -2, 2, 0.25}, {op::intpower, 5, -2, -32},
  };
  for (const Built &b : built)
    EXPECT_NEAR(eval_free(unary(b.opcode, b.index, trees_new_0(op::xcoord)), b.x), b.want, 1e-15) << b.opcode;
  EXPECT_EQ(XMEM, before);
}

TEST(Simptree, StopsOnDivisionVariablesAndVectors) {
  TreeNode *t = treebuild("1/1e-301");
  EXPECT_EQ(fatal_stop([&] { simptree_simpeval(t, nullptr); }), "DIVIDE BY ZERO IN simptree_simpeval_0");
  trees_free_0(t);
  TreeEnv env;
  env.names["U"] = {op::varble, 1};
  t = treebuild("X + U", env);
  evalpoint p{};
  {
    DebugCapture log;
    EXPECT_EQ(fatal_stop([&] { simptree_simpeval(t, &p); }), "ILLEGAL OPERATOR! IN trapop");
    std::string line = log.text();
    EXPECT_EQ(line.rfind("ILLEGAL OPERATOR ", 0), 0u) << line;
    EXPECT_NE(line.substr(0, line.find('\n')).find(" varble("), std::string::npos) << line;
  }
  t->valuetag = vtag::vector;
  EXPECT_EQ(fatal_stop([&] { simptree_simpeval(t, &p); }), "RESULT MUST BE SCALAR! IN trapscalar");
  trees_free_0(t);
}

namespace {

struct Coords {
  metric m{};
  StringList names{};
  idrec *root = nullptr;
  int64_t before = XMEM;
  uint16_t get(const char *word, uint16_t dim) {
    String w{};
    strings_copyto_1(&w, word);
    uint16_t d = metrics_get_metric(&m, &w, dim, &names);
    strings_free_0(&w);
    return d;
  }
  std::string name(int k) const { return names.items[k].text ? names.items[k].text : ""; }
  bool has(const char *n) const {
    String s{};
    strings_copyto_1(&s, n);
    bool found = symtab_lookupid(root, &s, strings_hashfn_0(&s)) != nullptr;
    strings_free_0(&s);
    return found;
  }
  double tree(int k, double x, double y, double z) {
    evalpoint p{};
    p.x = x, p.y = y, p.z = z;
    return simptree_simpeval(m.trees[k - 1], &p);
  }
  // (1/h1h2h3) sum_i d_i(M(3+i) (1/M(i)) d_i f) by central differences.
  double laplacian(const std::function<double(double, double, double)> &f, double x, double y, double z) {
    const double h = 1e-4;
    double q[3] = {x, y, z}, sum = 0;
    auto flux = [&](int i, double *p) {
      double a[3] = {p[0], p[1], p[2]}, b[3] = {p[0], p[1], p[2]};
      a[i] += h, b[i] -= h;
      return tree(4 + i, p[0], p[1], p[2]) / tree(1 + i, p[0], p[1], p[2]) * (f(a[0], a[1], a[2]) - f(b[0], b[1], b[2])) / (2 * h);
    };
    for (int i = 0; i < m.dimension; i++) {
      double a[3] = {q[0], q[1], q[2]}, b[3] = {q[0], q[1], q[2]};
      a[i] += h, b[i] -= h;
      sum += (flux(i, a) - flux(i, b)) / (2 * h);
    }
    return sum / tree(7, x, y, z);
  }
  ~Coords() {
    metrics_clear_metric(&m);
    root = symtab_deleteall(root);
    strings_free_1(&names, 1);
    EXPECT_EQ(XMEM, before);
  }
};

}  // namespace

TEST(Metrics, KeywordsDimensionsAndNames) {
  struct Case { const char *word; uint16_t asked, result; uint32_t geometry, axis; const char *names; } cases[] = {
      {"CYLINDER", 0, 2, 5, 1, "Z R PHI T"},  {"SPHERE", 3, 3, 10, 0, "R THETA PHI T"}, {"SPHERE2", 3, 2, 9, 0, "R THETA PHI T"},
      {"SPECIAL", 0, 0, 0, 0, "   "},         {"YCYLINDER", 0, 2, 6, 2, "R Z PHI T"},    {"YCYLINDER3", 0, 3, 7, 2, "R PHI Z T"},
      {"CARTESIAN", 1, 1, 1, 0, "X Y Z T"},   {"CARTESIAN", 4, 0, 0, 0, "   "},          {"POLAR", 0, 0, 0, 0, "   "},
  };
  for (const Case &c : cases) {
    Coords k;
    EXPECT_EQ(k.get(c.word, c.asked), c.result) << c.word;
    EXPECT_EQ(k.m.dimension, c.result) << c.word;
    EXPECT_EQ(k.m.geometry, c.geometry) << c.word;
    EXPECT_EQ(k.m.axis, c.axis) << c.word;
    EXPECT_EQ(k.name(0) + " " + k.name(1) + " " + k.name(2) + " " + k.name(3), c.names) << c.word;
  }
}

TEST(Metrics, CoordinatesAndOperatorsEntered) {
  Coords k;
  k.get("XCYLINDER", 0);
  metrics_coords(&k.m, &k.root, &k.names);
  for (const char *n : {"Z", "R", "DZ", "DZZ", "DR", "DRR", "DZR", "DRZ", "DT"}) EXPECT_TRUE(k.has(n)) << n;
  EXPECT_FALSE(k.has("PHI"));
  strings_copyto_1(&k.names.items[3], "TIME");
  metrics_timecoord(&k.m, &k.root, &k.names);
  metrics_timecoord(&k.m, &k.root, &k.names);  // once only
  EXPECT_TRUE(k.has("TIME") && k.has("DTIME"));
  Coords plain;  // no system named: two-dimensional Cartesian
  metrics_coords(&plain.m, &plain.root, &plain.names);
  EXPECT_EQ(plain.m.geometry, 2u);
  EXPECT_TRUE(plain.has("DXY") && plain.has("DYX") && !plain.has("DZ"));
  Coords special;
  special.get("SPECIAL", 2);
  strings_copyto_1(&special.names.items[0], "U");
  strings_copyto_1(&special.names.items[1], "V");
  EXPECT_EQ(fatal_stop([&] { metrics_coords(&special.m, &special.root, &special.names); }),
            "USER METRIC UNIMPLEMENTED IN metrics_coords_0");
}

TEST(Metrics, LaplacianThroughTheTreesMatchesSympy) {
  using F = std::function<double(double, double, double)>;
  F r2x = [](double x, double, double) { return x * x; }, r2y = [](double, double y, double) { return y * y; };
  struct Case { const char *word; uint16_t dim; F f; double x, y, z, want; } cases[] = {
      {"CYLINDER", 2, r2y, 0.3, 1.2, 0, 4},
      {"YCYLINDER", 2, r2x, 1.2, 0.3, 0, 4},
      {"CYLINDER", 3, r2x, 1.2, 0.4, 0.3, 4},
      {"CYLINDER", 3, [](double x, double y, double) { return x * x * cos(y); }, 1.2, 0.4, 0.3, 3 * cos(0.4)},
      {"SPHERE", 2, r2x, 1.3, 0.9, 0, 6},
      {"SPHERE", 3, r2x, 1.3, 0.9, 0.2, 6},
      {"SPHERE", 2, [](double, double y, double) { return cos(y); }, 2, 0.7, 0, -0.3824210936422442},
      {"SPHERE", 3, [](double, double y, double) { return cos(y); }, 2, 0.7, 0.1, -0.3824210936422442},
  };
  for (const Case &c : cases) {
    Coords k;
    k.m.angular = 2 * M_PI;
    k.get(c.word, c.dim);
    metrics_coords(&k.m, &k.root, &k.names);
    EXPECT_NEAR(k.laplacian(c.f, c.x, c.y, c.z), c.want, 1e-6) << c.word << c.dim;
    if (k.m.geometry == 5) {
      EXPECT_NEAR(k.tree(8, c.x, c.y, c.z), 2 * M_PI * c.y, 1e-15);
    }
    if (k.m.geometry == 9) {
      // The divergence of the unit theta vector: d(h1 h3)/dtheta / (h1 h2 h3) = cot(theta)/R.
      double h = 1e-5, d = (k.tree(5, 2, 0.7 + h, 0) - k.tree(5, 2, 0.7 - h, 0)) / (2 * h);
      EXPECT_NEAR(d / k.tree(7, 2, 0.7, 0), 0.5936209160633397, 1e-6);
      EXPECT_NEAR(k.tree(8, 2, 0.7, 0), 2 * M_PI * 4 * std::sin(0.7), 1e-12);  // a full turn
    }
  }
}
