// The symbol table: the operator tree's contents and shape against an independent
// balanced-tree reference, insertion order and balance, scopes and fatal stops.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "model/symtab.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "tests/runtime/fatal_stop.h"

namespace {

const idrec *find(const idrec *root, const char *name) {
  OwnedString s(name);
  return symtab_lookupid(const_cast<idrec *>(root), &s, strings_hashfn_0(&s));
}

// Height of a subtree; checks the order and the balance field of every node on the way.
int checked_height(const idrec *r, int *bad) {
  if (!r) return 0;
  int hl = checked_height(r->left, bad), hr = checked_height(r->right, bad);
  int want = hl == hr ? 0 : hl > hr ? 1 : 2;
  if (std::abs(hl - hr) > 1 || r->balance != want) ++*bad;
  auto before = [](const idrec *a, const idrec *b) {
    return a->hash != b->hash ? a->hash < b->hash : strings_compare_0(&a->name, &b->name) < 0;
  };
  if ((r->left && !before(r->left, r)) || (r->right && !before(r, r->right))) ++*bad;
  return 1 + std::max(hl, hr);
}

idrec *enter(idrec **root, const std::string &name) {
  OwnedString s(name);
  return symtab_enterid(root, symtab_newidrec(&s, strings_hashfn_0(&s)));
}

struct OperatorTree : ::testing::Test {
  idrec *root = nullptr;
  int64_t before = XMEM;
  void SetUp() override {
    symtab_operators(&root);
    symtab_builtins(&root);
  }
  void TearDown() override {
    root = symtab_deleteall(root);
    EXPECT_EQ(XMEM, before);
  }
};

}  // namespace

TEST_F(OperatorTree, ListingMatchesTheIndependentReference) {
  FILE *f = tmpfile();
  symtab_dbstable(f, root);
  rewind(f);
  std::string ours;
  char line[200];
  int records = 0, depth_max = 0;
  while (fgets(line, sizeof line, f)) {
    unsigned rec, hash, l, r;
    int depth, bal;
    char name[40];
    ASSERT_EQ(sscanf(line, "%x hash=%x  (%x,%x)%d%d  |%39s", &rec, &hash, &l, &r, &depth, &bal, name), 7) << line;
    ours += std::to_string(depth) + " " + std::to_string(bal) + " " + name + "\n";
    records++;
    depth_max = std::max(depth_max, depth);
  }
  fclose(f);
  EXPECT_EQ(records * 10 + depth_max + 1, 688);
  EXPECT_EQ(ours.substr(0, ours.find('\n')), "0 1 ARCSIN");
  int bad = 0;
  checked_height(root, &bad);
  EXPECT_EQ(bad, 0);

  std::string cmd = std::string("python3 ") + QUENDAR_AVL_REF + " 2>/dev/null";
  FILE *p = popen(cmd.c_str(), "r");
  std::string ref;
  if (p) {
    while (fgets(line, sizeof line, p)) ref += line;
    pclose(p);
  }
  if (ref.empty()) GTEST_SKIP() << "python3 is not available for the reference listing";
  EXPECT_EQ(ours, ref);
}

TEST_F(OperatorTree, EveryBuiltinCarriesItsColumns) {
  // "NAME:opcode ..." (one opcode for all when only the first has one); a b; counts; vec pw; kind
  struct Row { const char *names; int a, b; std::vector<int> counts; int vec, pw; uint32_t kind; } rows[] = {
      {"DEL2:del2", 1, 1, {1}, 0, 0, difopnam}, {"DIV:vdiv", 1, 0, {1, 2, 3}, 1, 0, difopnam},
      {"GRAD:grad", 1, 0, {1}, 0, 0, difopnam}, {"CURL:vcurl", 1, 0, {1, 2, 3}, 1, 0, difopnam},
      {"ABS:absf ARCCOS:acosf ARCSIN:asinf ARCTAN:atanf COS:cosf EXP:expf LN:logf SIN:sinf SQRT:sqrt TAN:tanf "
       "COSH:coshf ERF:erff ERFC:erfcf LOG10:log10 SIGN:signf SINH:sinhf TANH:tanhf USTEP:ustepf",
       0, 0, {1}, 0, 1, funcnam},
      {"BESSJ:besjf BESSY:besyf MAX:maxf MIN:minf MOD:modf UPULSE:upulsef URAMP:urampf DOT:vdot CROSS:vcross "
       "ATAN2:atan2f", 0, 0, {2}, 0, 1, funcnam},
      {"GAMMAF:gamma EXPINT:expint", 0, 0, {1, 2}, 0, 1, funcnam}, {"FIT:fitfun", 0, 0, {1, 2}, 0, 0, funcnam},
      {"GLOBALMIN:globalmin GLOBALMAX:globalmax SAVE:savefun PARTS:partfun PASSIVE:passive RANDOM:randomf",
       0, 0, {1}, 0, 0, funcnam},
      {"GLOBALMIN_X:minspot GLOBALMAX_X:maxspot", 1, 0, {1}, 0, 0, funcnam},
      {"GLOBALMIN_Y:minspot GLOBALMAX_Y:maxspot", 2, 0, {1}, 0, 0, funcnam},
      {"GLOBALMIN_Z:minspot GLOBALMAX_Z:maxspot", 3, 0, {1}, 0, 0, funcnam},
      {"NORMAL:vncomp TANGENTIAL:vtcomp XCOMP:vxcomp YCOMP:vycomp ZCOMP:vzcomp MAGNITUDE:vlength",
       0, 0, {1, 2, 3}, 1, 0, funcnam},
      {"INTEGRAL:volint VINTEGRAL VOL_INTEGRAL BINTEGRAL:bdryint LINE_INTEGRAL AINTEGRAL:areaint AREA_INTEGRAL",
       0, 0, {1, 2, 3}, 0, 0, funcnam},
      {"SINTEGRAL:surfint SURF_INTEGRAL", 0, 0, {1, 2, 3, 4}, 0, 0, funcnam},
      {"VECTOR:vector DIFF:deriv JACOBIAN:jelem", 0, 0, {2}, 0, 0, funcnam},
      {"STREAMLINE:upfactor", 0, 0, {1}, 1, 0, funcnam}, {"EVAL:fevalop", 0, 0, {3, 4}, 0, 0, funcnam},
  };
  int total = 0;
  for (const Row &row : rows) {
    uint32_t counts = 0;
    for (int c : row.counts) counts |= 0x80000000u >> c;
    std::istringstream in(row.names);
    std::string word, opname;
    while (in >> word) {
      size_t colon = word.find(':');
      if (colon != std::string::npos) opname = word.substr(colon + 1);
      std::string name = word.substr(0, colon);
      const idrec *r = find(root, name.c_str());
      ASSERT_NE(r, nullptr) << name;
      total++;
      EXPECT_STREQ(trees_optable[r->index].name, opname.c_str()) << name;
      EXPECT_EQ(std::vector<int>({r->suba, r->subb, r->vecarg, r->pointwise, int(r->kind)}),
                std::vector<int>({row.a, row.b, row.vec, row.pw, int(row.kind)})) << name;
      EXPECT_EQ(r->argcounts, counts) << name;
    }
  }
  EXPECT_EQ(total, 67);
  const idrec *pi = find(root, "PI");
  ASSERT_NE(pi, nullptr);
  EXPECT_TRUE(pi->kind == literalnam && static_cast<const TreeNode *>(pi->value)->value == M_PI);
  EXPECT_EQ(fatal_stop([&] { symtab_newop(&root, "SIN", op::sinf, 0, 0, 0, 0, 1, funcnam); }),
            "DUPLICATE OPERATOR NAME IN symtab_newop_0");
  EXPECT_EQ(fatal_stop([&] { symtab_builtins(&root); }), "DUPLICATE BUILTIN NAME IN symtab_newconst_0");
}

TEST(Symtab, KeyOrderByHashThenLength) {
  int64_t before = XMEM;
  struct { const char *first, *second; uint16_t hash; } pairs[] = {
      {"MAX", "MOD", 0x01EE}, {"QRCINYODPYK", "BSTXVGKOWVTS", 0x9848}};
  for (auto &p : pairs) {
    EXPECT_TRUE(strings_hashfn_1(p.first) == p.hash && strings_hashfn_1(p.second) == p.hash) << p.first;
    idrec *root = nullptr;
    enter(&root, p.second);
    idrec *r = enter(&root, p.first);
    EXPECT_EQ(root->left, r) << p.first << " sorts before " << p.second;
    EXPECT_EQ(enter(&root, p.first), r);  // a duplicate gives the record that is there
    root = symtab_deleteall(root);
  }
  idrec *root = nullptr;
  EXPECT_EQ(find(root, "A"), nullptr);
  // Three ascending keys: the middle one at the root, all even.
  idrec *b = enter(&root, "B"), *c = enter(&root, "C"), *d = enter(&root, "D");
  EXPECT_EQ(root, c);
  EXPECT_EQ(b->balance + c->balance + d->balance, 0);
  symtab_deleteid(&root, d);
  EXPECT_EQ(root->right, nullptr);
  root = symtab_deleteall(root);
  EXPECT_EQ(XMEM, before);
}

TEST(Symtab, RandomInsertionsStayBalanced) {
  std::mt19937 gen(14);
  int64_t before = XMEM;
  for (int round = 0; round < 20; round++) {
    idrec *root = nullptr;
    std::set<std::string> names;
    for (int k = 0; k < 300; k++) {
      std::string n;
      for (int len = 1 + gen() % 6; len > 0; len--) n += char('A' + gen() % 5);
      names.insert(n);
      enter(&root, n);
    }
    int bad = 0;
    int h = checked_height(root, &bad);
    EXPECT_EQ(bad, 0);
    EXPECT_LE(h, 1.45 * std::log2(names.size() + 2));
    for (const std::string &n : names) EXPECT_NE(find(root, n.c_str()), nullptr);
    root = symtab_deleteall(root);
  }
  EXPECT_EQ(XMEM, before);
}

TEST(Symtab, CoordinatesScopesAndKindNames) {
  OwnedString r("R");
  int64_t before = XMEM;
  scopestack s{};
  symtab_resize(&s, 1, 10);
  idrec *unknown = symtab_enterid(&s.roots[0], symtab_newidrec(&r, strings_hashfn_0(&r)));
  EXPECT_TRUE(symtab_new_coord(&s.roots[0], &r, 1) == unknown && unknown->kind == coordnam);
  EXPECT_EQ(fatal_stop([&] { symtab_new_coord(&s.roots[0], &r, 2); }),
            "DUPLICATE COORDINATE NAME IN symtab_new_coord_0");
  symtab_resize(&s, 3, 20);
  EXPECT_TRUE(s.roots[0] == unknown && s.floor == 1);
  symtab_newconst(&s.roots[2], "K", 2);
  symtab_free(&s, 1);
  EXPECT_EQ(s.capacity, 0);
  EXPECT_EQ(XMEM, before);

  String k{};
  symtab_showkind(&k, sumvarnam);
  symtab_showkind(&k, 15);
  EXPECT_STREQ(k.text, " kind=sumvarnam no kind");
  strings_free_0(&k);
}
