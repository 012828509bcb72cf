// Simplification: the rule table's cases compared with trees written in infix, and
// the mended rules by value.
#include "model/params.h"
#include "model/treemods.h"
#include "runtime/bopmem.h"
#include "tests/model/symfix.h"


TEST_F(Symbolic, RulesGiveTheWrittenTrees) {
  int64_t before = XMEM;
  struct Case { const char *in, *want; } cases[] = {
      {"X/2", "X*0.5"}, {"2/X", "2/X"}, {"X*(Y/X)", "Y"}, {"(X*Y)/Y", "X"}, {"(X*Y*Z)/Y", "X*Z"},
      {"X^0", "1"}, {"X^1", "X"}, {"-(X-Y)", "Y-X"}, {"SIN(-X)", "-SIN(X)"}, {"COS(-X)", "COS(X)"},
      {"IF 0 THEN X ELSE Y", "Y"}, {"IF X THEN Y ELSE Y", "Y"}, {"3 < 2", "0"}, {"(-1) OR 0", "0"},
      {"XCOMP(VECTOR(X, Y))", "X"}, {"(-X)*(-Y)", "X*Y"}, {"2*(3*X)", "6*X"}, {"(X*2)*Y", "2*(X*Y)"},
      {"X*(Y+1)", "X*Y+X"}, {"(X+Y)/Z", "X/Z+Y/Z"}, {"(X-Y)-X", "-Y"}, {"X-(X-Y)", "Y"},
      {"SIN(X)-SIN(X)", "0"}, {"(-X)+Y", "Y-X"}, {"(-X)-Y", "-(X+Y)"}, {"X^Y/X^Y", "1"},
      {"-(U*(Y-Z))", "U*(Z-Y)"}, {"(-X) < (-Y)", "Y < X"}, {"ABS(-X)", "ABS(X)"}, {"0/X", "0"},
      {"(-2)^3", "-8"}, {"MAX(2, 3) + MIN(2, 3)", "5"}, {"IF 2 THEN X ELSE Y", "X"},
      {"VECTOR(X, Y) + VECTOR(1, Y)", "VECTOR(X+1, Y+Y)"}, {"DOT(VECTOR(X, Y), VECTOR(Y, 2))", "X*Y+Y*2"},
      {"CROSS(VECTOR(X, Y), VECTOR(Y, 2))", "X*2-Y*Y"}, {"MAGNITUDE(VECTOR(X, -X))", "SQRT(X^2+X^2)"},
  };
  for (const Case &c : cases) {
    TreeNode *got = simp(build(c.in)), *want = build(c.want);
    // Squares are written as powers, constants as numbers with their sign.
    std::string w = c.want;
    if (w.find('^') != std::string::npos || w.find_first_of("XYZUV") == std::string::npos) want = simp(want);
    EXPECT_TRUE(trees_compare(got, want)) << c.in << " gave " << show(got);
    trees_free_0(got);
    trees_free_0(want);
  }
  struct Shown { const char *in, *want; } shown[] = {
      {"1/X", "intpower[-1](X)"}, {"X^2.0", "square(X)"}, {"X^3", "intpower[3](X)"},
      {"VECTOR(0, 0)", "nullvector()"}, {"X*(Y/X^3)", "divop(Y,square(X))"}, {"SQRT(X^2)", "absf(X)"},
      {"EXP(800)", "1.00000000000002e+300"}, {"EXP(-800)", "0"}, {"LN(0)", "-690.775527898214"},
      {"1e-301/1e-301", "1"},
      // Mended: no sign rule for OR and AND; SIGN keeps its argument's sign; square
      // roots and logarithms of negative constants stay for evaluation to report;
      // LOG10(0) is clamped; exponents beyond 16 bits stay powers.
      {"(-X) OR (-Y)", "logor(negateop(X),negateop(Y))"}, {"SIGN(-X)", "signf(negateop(X))"},
      {"SQRT(-4)", "sqrt(-4)"}, {"LN(-1)", "logf(-1)"}, {"LOG10(0)", "-300"}, {"X^40000", "powerop(X,40000)"},
  };
  for (const Shown &c : shown) {
    TreeNode *got = simp(build(c.in));
    EXPECT_EQ(show(got), c.want) << c.in;
    trees_free_0(got);
  }
  EXPECT_EQ(XMEM, before);
}

TEST_F(Symbolic, MendedRulesKeepValues) {
  struct Case { const char *in; double x, y, want; } cases[] = {
      {"(-X) OR (-Y)", 1, 1, 0}, {"(-X) AND (-Y)", -1, -1, 1}, {"SIGN(-X)", 0, 0, 1},
  };
  for (const Case &c : cases) {
    TreeNode *t = simp(build(c.in));
    EXPECT_EQ(value_at(t, c.x, c.y), c.want) << c.in;
    trees_free_0(t);
  }
  // 1/k simplified before k (defined as 0) is substituted: a negative power of 0 is
  // a division by zero.
  String k{};
  strings_copyto_1(&k, "K");
  uint16_t n = params_new_param(&p->formulas.definitions, &k);
  strings_free_0(&k);
  params_define_param(&p->formulas.definitions, n, 0, 0, trees_new_real_0(0));
  env.names["K"] = {op::param, n};
  TreeNode *t = treemods_copy_params(p, simp(build("1/K")), 1, 1);
  EXPECT_EQ(error_of([&] { t = simp(t); }), "DIVIDE BY ZERO!");
  EXPECT_EQ(p->formulas.definitions.items[0]->used, 1);
  trees_free_0(t);
  // A sum of a constant summand stays a sum; of a zero summand is 0.
  for (double summand : {2.0, 0.0}) {
    TreeNode *s = trees_new_0(op::sumop);
    s->child[0] = trees_new_real_0(1), s->child[1] = trees_new_real_0(3), s->child[2] = trees_new_real_0(summand);
    s = simp(s);
    EXPECT_EQ(s->opcode, summand ? op::sumop : op::realzero);
    trees_free_0(s);
  }
  // A zero divisor is an error, whether it folds to zero or is a constant zero.
  for (const char *text : {"X/(Y-Y)", "1/0", "-1/0", "1/1e-310", "-1/1e-310"}) {
    t = build(text);
    EXPECT_EQ(error_of([&] { t = simp(t); }), "DIVIDE BY ZERO!") << text;
    trees_free_0(t);
  }
  // A zero over a zero divisor is 0, as the evaluator takes it.
  for (const char *text : {"0/0", "(1-1)/0", "0/(2-2)", "(X-X)/(Y-Y)"}) {
    t = simp(build(text));
    EXPECT_EQ(t->opcode, op::realzero) << text;
    trees_free_0(t);
  }
}
