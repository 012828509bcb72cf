// The parser against an independent one: the grammar file written for bison, whose
// own conflict report and recogniser must agree with our tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "control/control.h"
#include "reader/acpde.h"
#include "reader/ppde.h"

extern "C" int bison_recognise(const uint16_t *tokens, int n);

namespace {

struct Rule {
  int number, lhs;
  std::vector<int> rhs;
};

struct GrammarFile {
  std::vector<Rule> rules;                 // in file order, as bison numbers them from 1
  std::set<std::pair<int, int>> expected;  // (rule number, terminal)
  std::vector<std::string> names = std::vector<std::string>(300);
  GrammarFile() {
    std::ifstream in(QUENDAR_GRAMMAR);
    std::map<std::string, int> number;
    int section = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      if (line == "%%") {
        section++;
        continue;
      }
      std::istringstream w(line);
      int n;
      std::string a, b;
      w >> n >> a;
      if (section == 0) {
        names[n] = a;
        number[a] = n;
      } else if (section == 1) {
        Rule r{n, number[a], {}};
        w >> b;  // "->"
        while (w >> b && b != "|") r.rhs.push_back(number[b]);
        rules.push_back(r);
      } else {
        expected.insert({n, number[a]});
      }
    }
  }
};

const GrammarFile &grammar() {
  static const GrammarFile g;
  return g;
}

// bison's report: 13 shift/reduce conflicts, each resolved as a shift, on the listed
// rules and tokens; no reduce/reduce conflict.
TEST(Bison, ConflictsAreTheListedOnes) {
  std::ifstream in(QUENDAR_BISON_REPORT);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find("reduce/reduce"), std::string::npos);
  int total = 0;
  std::regex count("conflicts: (\\d+) shift/reduce"), pair("\\n\\s+T(\\d+)\\s+\\[reduce using rule (\\d+) ");
  for (std::sregex_iterator m(text.begin(), text.end(), count), end; m != end; ++m) total += std::stoi((*m)[1]);
  EXPECT_EQ(total, 13);
  std::set<std::pair<int, int>> found;
  for (std::sregex_iterator m(text.begin(), text.end(), pair), end; m != end; ++m)
    found.insert({grammar().rules[std::stoi((*m)[2]) - 1].number, std::stoi((*m)[1])});
  EXPECT_EQ(found, grammar().expected);
}

// ---- Random sentences -------------------------------------------------------------------------------

struct Sentences {
  const GrammarFile &g = grammar();
  std::vector<std::vector<int>> of = std::vector<std::vector<int>>(300);  // rule indices per nonterminal
  std::vector<int> height = std::vector<int>(300, 1 << 20), shortest = std::vector<int>(300);
  std::set<int> first;  // the terminals that may start a descriptor
  std::mt19937 random{20261206};
  Sentences() {
    for (size_t k = 0; k < g.rules.size(); k++) of[g.rules[k].lhs].push_back(int(k));
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t k = 0; k < g.rules.size(); k++) {
        int h = 0;
        for (int x : g.rules[k].rhs) h = std::max(h, x <= 156 ? 0 : height[x]);
        if (h + 1 < height[g.rules[k].lhs]) height[g.rules[k].lhs] = h + 1, shortest[g.rules[k].lhs] = int(k), changed = true;
      }
    }
    std::set<int> seen;
    std::vector<int> todo = {157};
    while (!todo.empty()) {
      int a = todo.back();
      todo.pop_back();
      if (!seen.insert(a).second) continue;
      for (int k : of[a]) (g.rules[k].rhs[0] <= 156 ? (void)first.insert(g.rules[k].rhs[0]) : todo.push_back(g.rules[k].rhs[0]));
    }
  }
  void expand(int x, int depth, std::vector<int> &out) {
    if (x <= 156) return out.push_back(x);
    const auto &choices = of[x];
    int k = depth > 9 ? shortest[x] : choices[random() % choices.size()];
    for (int y : g.rules[k].rhs) expand(y, depth + 1, out);
  }
  // A sentence, followed by a token that may start another when it could go on.
  std::vector<int> sentence() {
    std::vector<int> out;
    int k = of[157][random() % of[157].size()];
    for (int y : g.rules[k].rhs) expand(y, 1, out);
    if (g.rules[k].number == 1) {
      auto it = first.begin();
      std::advance(it, random() % first.size());
      out.push_back(*it);
    }
    return out;
  }
  void mutate(std::vector<int> &s) {
    size_t at = random() % (s.size() + 1);
    int token = int(random() % 156) + 1;
    switch (random() % 3) {
      case 0: if (at < s.size()) { s[at] = token; break; } [[fallthrough]];
      case 1: s.insert(s.begin() + at, token); break;
      default: if (at < s.size()) s.erase(s.begin() + at);
    }
  }
};

// Our driver on an array of terminals: the reads so far, and the last action.
std::vector<uint16_t> input;
int reads = 0, last_code = 0;
struct SyntaxError {};

uint16_t read_array(parse_node *) {
  reads++;
  // Past the end: a token that starts a descriptor, our parser's end of input.
  return reads <= int(input.size()) ? input[reads - 1] : 137;
}
void syntax_error(uint16_t, uint16_t, uint16_t) { throw SyntaxError{}; }
template <int C> void note(parse_node *, parse_node *const *) { last_code = C; }
template <size_t... C> void install(std::index_sequence<C...>) { ((acpde_handlers[C + 1] = note<int(C + 1)>), ...); }

// 0 and the tokens consumed on acceptance, or 1 and the token at which it stopped.
std::pair<int, int> ours() {
  reads = last_code = 0;
  try {
    ppde_parse();
  } catch (SyntaxError &) {
    return {1, reads};
  }
  return {0, reads - (last_code == 1)};  // rule 1 reduces on a lookahead it leaves unread
}

TEST(Bison, RecognisersAgree) {
  ASSERT_EQ(grammar().names[137], "TITLE");
  acpde_handler saved[ACPDE_CODES + 1];
  std::copy(acpde_handlers, acpde_handlers + ACPDE_CODES + 1, saved);
  install(std::make_index_sequence<ACPDE_CODES>());
  ppde_io saved_io = ppde_input;
  ppde_input = {read_array, syntax_error};
  control_parse_pass = 1;
  Sentences sentences;
  int accepted = 0, rejected = 0, disagreements = 0;
  for (int n = 0; n < 10000 && disagreements < 5; n++) {
    std::vector<int> s = sentences.sentence();
    for (int variant = 0; variant < 2; variant++) {
      if (variant) sentences.mutate(s);
      input.assign(s.begin(), s.end());
      auto [failed, at] = ours();
      int theirs = bison_recognise(input.data(), failed ? int(input.size()) : at);
      // Past the end of the array ours reads a token that starts a descriptor where
      // bison reads its end marker: a failure there is a failure at the end.
      int expect = failed ? std::min(at, int(input.size()) + 1) : 0;
      if (theirs != expect && !(failed && at > int(input.size()) && theirs == int(input.size()) + 1)) {
        disagreements++;
        std::string text;
        for (int t : s) text += grammar().names[t] + " ";
        ADD_FAILURE() << "ours " << failed << "@" << at << " bison " << theirs << ": " << text;
      }
      (failed ? rejected : accepted)++;
    }
  }
  ppde_input = saved_io;
  std::copy(saved, saved + ACPDE_CODES + 1, acpde_handlers);
  control_parse_pass = 0;
  EXPECT_GT(accepted, 9000);
  EXPECT_GT(rejected, 5000);
}

}  // namespace
