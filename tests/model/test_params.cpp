// Definitions: storage per region and layer, the dependency closure, the region
// flag, recursion and the evaluation order, with a seeded property test.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "model/params.h"
#include "model/symtab.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "tests/model/treebuild.h"
#include "tests/runtime/fatal_stop.h"

namespace {

// A definition set whose names P1, P2, ... (or given names) are bound for the tree reader.
struct Defs {
  paramset set{};
  TreeEnv env;
  int64_t before = XMEM;
  explicit Defs(std::vector<std::string> names) {
    for (const std::string &n : names) {
      OwnedString s(n);
      uint16_t k = params_new_param(&set, &s);
      env.names[n] = {op::param, k, &set.items[k - 1]->name};
    }
  }
  explicit Defs(int n) : Defs(numbered(n)) {}
  static std::vector<std::string> numbered(int n) {
    std::vector<std::string> v;
    for (int k = 1; k <= n; k++) v.push_back("P" + std::to_string(k));
    return v;
  }
  bool def(uint16_t k, const std::string &text, uint16_t region = 0, uint16_t layer = 0) {
    return params_define_param(&set, k, region, layer, treebuild(text, env));
  }
  std::vector<int> order() const { return std::vector<int>(set.order.data, set.order.data + set.order.count); }
  ~Defs() {
    params_free_1(&set);
    EXPECT_EQ(XMEM, before);
  }
};

}  // namespace

TEST(Params, DependencyCases) {
  struct Case {
    std::vector<std::string> defs;  // "name=text", "name@region=text", "name@region.layer=text"
    int32_t result;
    std::vector<int> order;
  } cases[] = {
      {{"A=A + 1"}, 1, {1}},
      {{"A=B", "B=A"}, 1, {}},
      {{"A=B + 1", "B=2", "C=3"}, 0, {2, 1, 3}},
      {{"A=C*2", "B=A", "C=1"}, 0, {3, 1, 2}},
      // A cycle through a layer tree: k = m + 1 in region 1, layer 2, with m = k.
      {{"K=0", "K@1.2=M + 1", "M=K"}, 1, {}},
      {{"K=0", "K@1.2=K + 1", "M=1"}, (1 << 16) + 1, {1, 2}},
      {{"A=B", "B=0", "B@2=A*3"}, 1, {}},
  };
  for (const Case &c : cases) {
    std::vector<std::string> names;
    for (const std::string &d : c.defs) {
      std::string n = d.substr(0, d.find_first_of("@="));
      if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
    }
    Defs d(names);
    for (const std::string &text : c.defs) {
      size_t eq = text.find('='), at = text.find('@');
      std::string n = text.substr(0, std::min(eq, at));
      uint16_t k = d.env.names[n].index, region = 0, layer = 0;
      if (at < eq) {
        region = uint16_t(std::stoi(text.substr(at + 1)));
        size_t dot = text.find('.', at);
        if (dot < eq) layer = uint16_t(std::stoi(text.substr(dot + 1)));
      }
      d.def(k, text.substr(eq + 1), region, layer);
    }
    EXPECT_EQ(params_param_dependencies(&d.set), c.result) << c.defs[0];
    EXPECT_EQ(d.order(), c.order) << c.defs[0];
  }
}

TEST(Params, StorageRegionFlagAndLookups) {
  Defs d({"A", "B", "C", "S"});
  // (region, layer, value): true when a region or layer tree replaced another.
  struct { uint16_t region, layer; const char *text; bool replaced; } defs[] = {
      {0, 0, "1", false}, {0, 0, "2", false}, {2, 0, "5", false}, {2, 0, "6", true}, {9, 3, "7", false},
      {9, 3, "8", true}};
  for (auto &x : defs) EXPECT_EQ(d.def(3, x.text, x.region, x.layer), x.replaced) << x.text;
  EXPECT_EQ(d.set.items[2]->byregion.capacity * 100 + d.set.items[2]->bylayer.data[2].capacity, 816);
  d.def(1, "B"), d.def(2, "C + 1");
  EXPECT_EQ(params_param_dependencies(&d.set), 0);
  EXPECT_FALSE(params_param_is_global(&d.set, 1)) << "A reaches C's region tree through B";

  auto value = [](TreeNode *t) { return t ? t->value : -1; };
  std::vector<double> found = {value(params_find_param_def(&d.set, 3, 2, 0)), value(params_find_param_def(&d.set, 3, 9, 3)),
                               value(params_find_param_def(&d.set, 3, 4, 3)), value(params_find_param_tree(&d.set, 3, 2)),
                               value(params_find_param_tree(&d.set, 3, 30))};
  EXPECT_EQ(found, (std::vector<double>{6, 8, 2, 6, 2}));
  params_define_expanded_param(&d.set, 3, 0, trees_new_real_0(20));
  params_define_expanded_param(&d.set, 3, 2, trees_new_real_0(26));
  // Region 30 lies beyond every region list.
  EXPECT_EQ(value(params_find_param_tree(&d.set, 3, 30)) * 100 + value(params_find_param_tree(&d.set, 3, 2)), 2026);
  EXPECT_EQ(std::vector<bool>({params_check_definition(&d.set, 3, 2), params_check_definition(&d.set, 3, 1),
                               params_check_layer_definition(&d.set, 3, 9, 3),
                               params_check_layer_definition(&d.set, 3, 9, 2)}),
            std::vector<bool>({true, false, true, false}));
  for (uint16_t bad : {0, 5})
    EXPECT_EQ(fatal_stop([&] { params_find_param_tree(&d.set, bad, 0); }), "UNDEFINED PARAM IN trapparam");

  // Freeing a definition lists its layer trees in the debug log.
  DebugCapture log;
  params_free_0(d.set.items[2]);
  EXPECT_EQ(log.text().substr(0, 15), "LAYERFORM[3,9]\n");
}

TEST(Params, TableKeysAreDependencies) {
  Defs d(2);
  tabledat_resize(&d.set.tables, 1, 8);
  d.set.tables.items[0].keys[0] = 1;    // x
  d.set.tables.items[0].keys[1] = 102;  // definition 2
  strings_copyto_1(&d.set.tables.items[0].name, "t.tbl");
  TreeNode *t = trees_new_0(op::tableval);
  t->index = 1;
  params_define_param(&d.set, 1, 0, 0, t);
  d.def(2, "3");
  EXPECT_EQ(params_param_dependencies(&d.set), 0);
  EXPECT_EQ(d.order(), (std::vector<int>{2, 1}));
}

// Random acyclic sets: every definition follows each one its trees name; one added
// back edge makes the result a definition on a cycle.
TEST(Params, RandomSetsOrderEveryDefinitionAfterItsUses) {
  std::mt19937 gen(1401);
  for (int round = 0; round < 1000; round++) {
    int n = 2 + gen() % 10;
    std::vector<int> rank(n);
    for (int k = 0; k < n; k++) rank[k] = k;
    std::shuffle(rank.begin(), rank.end(), gen);
    // refs[i]: (region, layer) -> definitions named there; i may name j when rank[j] < rank[i].
    std::vector<std::map<std::pair<int, int>, std::vector<int>>> refs(n);
    std::set<std::pair<int, int>> edges;
    for (int i = 0; i < n; i++) {
      int places = 1 + gen() % 3;
      for (int p = 0; p < places; p++) {
        std::pair<int, int> where = p == 0 ? std::pair(0, 0) : std::pair(1 + int(gen() % 3), int(gen() % 3));
        std::vector<int> &v = refs[i][where];
        for (int j = 0; j < n; j++)
          if (rank[j] < rank[i] && gen() % 3 == 0) v.push_back(j), edges.insert({i, j});
      }
    }
    auto build = [&](Defs &d) {
      for (int i = 0; i < n; i++)
        for (auto &[where, v] : refs[i]) {
          std::string text = "1";
          for (int j : v) text += " + P" + std::to_string(j + 1);
          d.def(uint16_t(i + 1), text, uint16_t(where.first), uint16_t(where.second));
        }
    };
    {
      Defs d(n);
      build(d);
      ASSERT_EQ(params_param_dependencies(&d.set), 0) << "round " << round;
      std::vector<int> order = d.order(), pos(n + 1, -1);
      ASSERT_EQ(int(order.size()), n);
      for (size_t k = 0; k < order.size(); k++) pos[order[k]] = int(k);
      for (auto [i, j] : edges) EXPECT_LT(pos[j + 1], pos[i + 1]) << "round " << round;
    }
    if (edges.empty()) continue;
    auto edge = std::next(edges.begin(), gen() % edges.size());
    auto [i, j] = *edge;
    std::pair<int, int> where = std::next(refs[j].begin(), gen() % refs[j].size())->first;
    refs[j][where].push_back(i);
    edges.insert({j, i});
    std::function<bool(int, int, std::set<int> &)> reaches = [&](int from, int to, std::set<int> &seen) {
      for (auto [a, b] : edges)
        if (a == from && (b == to || (seen.insert(b).second && reaches(b, to, seen)))) return true;
      return false;
    };
    Defs d(n);
    build(d);
    int32_t r = params_param_dependencies(&d.set);
    ASSERT_NE(r, 0) << "round " << round;
    std::set<int> seen;
    EXPECT_TRUE(reaches((r & 0xFFFF) - 1, (r & 0xFFFF) - 1, seen)) << "round " << round;
  }
}
