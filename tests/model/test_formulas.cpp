// The formula set: boundary-condition tags and their merge, region positions, the
// debug listing, initial values, derived-global look-up, arrays, loops, and the
// memory count after the set is freed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/formulas.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "tests/model/treebuild.h"
#include "tests/runtime/fatal_stop.h"

namespace {

vectorn tag_of(const std::vector<uint16_t> &v) {
  vectorn t{};
  for (uint16_t x : v) vectorn_one_more(&t, x);
  return t;
}
std::vector<uint16_t> entries(const vectorn &t) { return std::vector<uint16_t>(t.data, t.data + t.count); }

String str(const char *s) {
  String r{};
  strings_copyto_1(&r, s);
  return r;
}

}  // namespace

TEST(Formulas, TagsMergePositionsAndListing) {
  int64_t before = XMEM;
  FormulaSet fs{};
  // Conditions 1..6: natural, value, value, normal, load point, imposed.
  for (int32_t type : {naturalbc, valuebc, valuebc, normalbc, loadpt, imposebc})
    bcs_define_bc(&fs.bcs, bcs_new_bc(&fs.bcs), trees_new_real_0(type), type, 1);
  vectorn a = tag_of({2, 0}), b = tag_of({2, 0}), zero = tag_of({0, 0, 0}), c = tag_of({0, 1});
  EXPECT_EQ(bcs_make_bctag(&fs.bcs, &a), 1);
  EXPECT_EQ(bcs_make_bctag(&fs.bcs, &zero), 0);
  EXPECT_EQ(bcs_make_bctag(&fs.bcs, &c), 2);
  EXPECT_EQ(bcs_make_bctag(&fs.bcs, &b), 1);
  EXPECT_EQ(fs.bcs.tags.count, 2);

  // Per variable: natural into value, value into another value (conflict), natural into
  // none, normal into value (conflict), value into normal, load point into value, and
  // an imposed condition into a new entry.
  vectorn dest = tag_of({2, 2, 0, 2, 4, 2}), src = tag_of({1, 3, 1, 4, 2, 5, 6});
  EXPECT_EQ(bcs_merge_bctags(&fs.bcs, &dest, &src), 2);
  EXPECT_EQ(entries(dest), (std::vector<uint16_t>{2, 3, 1, 4, 2, 5, 0}));

  vectorn_one_more(&fs.bcs.items[0]->regions, 3);
  vectorn_one_more(&fs.bcs.items[0]->regions, 5);
  {
    DebugCapture log;
    EXPECT_EQ(bcs_find_bc_regix(fs.bcs.items[0], 5), 2);
    EXPECT_EQ(bcs_find_bc_regix(fs.bcs.items[0], 7), 2);
    EXPECT_EQ(bcs_find_bc_regix(fs.bcs.items[1], 7), 0);
    EXPECT_EQ(log.text(), "UNLISTED REGION 7 OF 2: 3 5\nUNLISTED REGION 7 OF 0:\n");
  }

  StringList names{};
  for (const char *n : {"U", "V"}) {
    String s = str(n);
    strings_one_more(&names, &s);
    strings_free_0(&s);
  }
  fs.bcs.items[1]->variable = 2;
  FILE *f = tmpfile();
  bcs_print_bcs(f, &fs.bcs, &names);
  rewind(f);
  std::string text = slurp_stream(f);
  fclose(f);
  EXPECT_EQ(text.substr(0, text.find("BC INDEX 1")),
            "\nBOUNDARY CONDITION TAGS with associated BC INDEX\nBC TAG   1: val(2) nat(0)\nBC TAG   2: nat(0) nat(1)\n"
            "\nBOUNDARY CONDITION FORMULAS [BCINDEX]\n");
  for (const char *title : {"BC INDEX 1 NAT(U)\n", "BC INDEX 2 VAL(V)\n", "BC INDEX 4 NRM(U)\n", "BC INDEX 5 LPT(U)\n",
                            "BC INDEX 6 ?[U)\n"})
    EXPECT_NE(text.find(title), std::string::npos) << title;
  strings_free_1(&names, 1);
  for (vectorn *v : {&a, &b, &zero, &c, &dest, &src}) vectorn_free(v);
  formulas_free(&fs);
  EXPECT_EQ(XMEM, before);
}

TEST(Formulas, EquationsInitialValuesArraysAndLoops) {
  int64_t before = XMEM;
  FormulaSet fs{};
  uint16_t e = eqns_new_equation(&fs.equations);
  eqns_define_equation_1(&fs.equations, e, trees_new_real_0(1), trees_new_real_0(2));
  eqns_define_equation_0(&fs.equations, e, trees_new_real_0(3));  // both earlier trees go
  trees_slot(&fs.equations.items[0]->steady, 2)[0] = trees_new_real_0(4);
  EXPECT_EQ(eqns_find_equation_tree(&fs.equations, e, 0)->value, 3);
  EXPECT_EQ(eqns_find_equation_tree(&fs.equations, e, 2)->value, 4);
  EXPECT_EQ(eqns_find_equation_tree(&fs.equations, e, 3), nullptr);
  constrn_define_constraint(&fs.constraints, constrn_new_constraint(&fs.constraints), trees_new_real_0(5));
  vectort_set_bit(&fs.constraints.items[0]->sets[2], 40);

  eqns_define_initial(&fs.initial, 5, trees_new_real_0(6));
  eqns_define_initial(&fs.initial, 5, trees_new_real_0(7));
  EXPECT_EQ(fs.initial.count, 5);
  EXPECT_EQ(fs.initial.capacity, 8);
  for (int k = 0; k < 4; k++) EXPECT_EQ(fs.initial.data[k], nullptr);
  EXPECT_EQ(fs.initial.data[4]->value, 7);

  String name = str("alpha");
  uint16_t n = arys_new_array(&fs.arrays, &name);
  for (double v : {1.0, 2.0, 3.0}) arys_next_array(&fs.arrays, n, v);
  EXPECT_EQ(arys_next_array(&fs.arrays, n, 4), 4);
  EXPECT_EQ(arys_define_array(&fs.arrays, n, 9), n);
  const vectord *values = arys_find_array_def(&fs.arrays, n);
  EXPECT_EQ(std::vector<double>(values->data, values->data + values->count), std::vector<double>{9});
  EXPECT_EQ(fatal_stop([&] { arys_define_array(&fs.arrays, 2, 1); }), "Bad Array Identifier IN arys_define_array_0");

  TextLoc at{1, 4, 9};
  EXPECT_EQ(forloops_new_forloop(&fs.loops, &name, 2, 1, 0, 0, &at), 1);
  EXPECT_EQ(forloops_new_forloop(&fs.loops, &name, 5, 0.5, 7, 8, &at), 2);
  EXPECT_EQ(fs.loops.items[1].current, 5);
  forloops_pop(&fs.loops);
  forloops_pop(&fs.loops);
  forloops_pop(&fs.loops);
  EXPECT_EQ(fs.loops.count, 0);
  forloops_new_forloop(&fs.loops, &name, 1, 1, 0, 0, &at);
  strings_free_0(&name);
  formulas_free(&fs);
  EXPECT_EQ(XMEM, before);
}

TEST(Formulas, DerivedGlobalsFoundByKindKeysAndTree) {
  int64_t before = XMEM;
  TreeEnv env;
  env.names = {{"A", {op::varble, 1}}, {"B", {op::varble, 2}}};
  FormulaSet fs{};
  fitlist *l = &fs.fits;
  auto tree = [&](const char *t) { return treebuild(t, env); };
  // Requests that match leave their tree with the caller.
  auto make0 = [&](const char *t, uint16_t key, double v, uint32_t kind) {
    TreeNode *x = tree(t);
    uint16_t k = fits_make_fit_0(l, x, key, v, kind);
    if (l->items[k - 1]->tree != x) trees_free_0(x);
    return k;
  };
  EXPECT_EQ(make0("A*B", 0, 0, op::globalmax), 1);
  EXPECT_EQ(make0("B*A", 0, 0, op::globalmax), 1);
  EXPECT_EQ(make0("A*B", 0, 0, op::globalmin), 2);
  EXPECT_EQ(make0("A*B", 1, 0.5, op::fitfun), 3);
  EXPECT_EQ(make0("A*B", 1, 0.5, op::fitfun), 3);
  EXPECT_EQ(make0("A*B", 1, 0.1, op::fitfun), 4);  // 0.1 is not a float
  EXPECT_EQ(make0("A*B", 1, 0.1, op::fitfun), 5);
  EXPECT_EQ(make0("A*B", 1, double(0.1f), op::fitfun), 5);  // the last match wins

  String lower = str("left"), upper = str("LEFT");
  EXPECT_EQ(fits_make_fit_1(l, tree("A"), 2, &lower, op::volint), 6);
  TreeNode *x = tree("A");
  EXPECT_EQ(fits_make_fit_1(l, x, 2, &upper, op::volint), 6);
  trees_free_0(x);
  strings_free_0(&upper);
  StringList ab{}, ba{};
  for (const char *s : {"P", "Q"}) strings_one_more(&ab, &(upper = str(s))), strings_free_0(&upper);
  for (const char *s : {"Q", "P"}) strings_one_more(&ba, &(upper = str(s))), strings_free_0(&upper);
  EXPECT_EQ(fits_make_fit_3(l, tree("B"), 1, 2, &ab, op::surfint), 7);
  EXPECT_EQ(fits_make_fit_3(l, tree("B"), 1, 2, &ba, op::surfint), 8);
  EXPECT_EQ(fits_make_fit_2(l, tree("A"), tree("B"), op::evalop), 9);
  x = tree("A");
  TreeNode *y = tree("B");
  EXPECT_EQ(fits_make_fit_2(l, x, y, op::evalop), 9);
  trees_free_0(x), trees_free_0(y);

  fit *f = l->items[0];
  trees_slot(&f->byregion, 2)[0] = trees_new_real_0(2);
  trees_resize_1(&f->bylayer, 2, 2);
  trees_slot(&f->bylayer.data[1], 3)[0] = trees_new_real_0(23);
  EXPECT_EQ(fits_find_fit_tree(l, 1, 0, 3), f->tree);
  EXPECT_EQ(fits_find_fit_tree(l, 1, 1, 0), f->tree);
  EXPECT_EQ(fits_find_fit_tree(l, 1, 2, 0)->value, 2);
  EXPECT_EQ(fits_find_fit_tree(l, 1, 2, 0x103)->value, 23);
  EXPECT_EQ(fits_find_fit_tree(l, 1, 2, 4)->value, 2);
  strings_free_1(&ab, 1), strings_free_1(&ba, 1), strings_free_0(&lower);
  formulas_free(&fs);
  EXPECT_EQ(XMEM, before);
}
