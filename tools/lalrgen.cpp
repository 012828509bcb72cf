// lalrgen: the parser-table generator of the descriptor language, run by the build.
// It reads the grammar file (symbols, numbered rules with their actions, the expected
// shift/reduce pairs) and writes the parse driver's tables and the action dispatch
// table as C++ source:
//   LR(0) states from the start symbol, LALR(1) lookaheads by propagation, where the
//   start symbol is followed by FIRST(start), so that a finished descriptor is
//   accepted on the first token of another without reading on; every state whose
//   only item is one complete rule becomes a shift-reduce entry of its predecessors
//   (the accept state: the start symbol in state 1, target 0); the one reduction a
//   state may keep is its default rule, under its lookahead set.
// It fails on any reduce/reduce conflict, any state with two reductions, and any set
// of shift/reduce pairs other than the expected one (each of which is resolved as a
// shift). With --bison it writes the same grammar as a recogniser for the bison tool
// instead, which tests use as an independent check.
//
// Usage: lalrgen GRAMMAR OUTPUT.cpp
//        lalrgen --bison GRAMMAR OUTPUT.y
#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kTerminals = 156, kSymbols = 299, kSetBits = 160;
using Set = std::bitset<kSetBits>;

struct Rule {
  int number = 0, lhs = 0, code = 0;
  std::vector<int> rhs;
  std::string handler;
};

struct Grammar {
  std::vector<std::string> names = std::vector<std::string>(kSymbols + 1);
  std::map<std::string, int> byname;
  std::vector<Rule> rules;                 // index 0: the start rule S' -> start
  std::set<std::pair<int, int>> expected;  // (rule number, terminal)
  int maxrule = 0;
};

[[noreturn]] void fail(const std::string &why) {
  fprintf(stderr, "lalrgen: %s\n", why.c_str());
  exit(1);
}

Grammar read_grammar(const char *path) {
  std::ifstream in(path);
  if (!in) fail(std::string("cannot read ") + path);
  Grammar g;
  g.rules.push_back({});
  std::string line;
  int section = 0, lineno = 0;
  auto symbol = [&](const std::string &name) {
    auto it = g.byname.find(name);
    if (it == g.byname.end()) fail("line " + std::to_string(lineno) + ": unknown symbol " + name);
    return it->second;
  };
  while (std::getline(in, line)) {
    lineno++;
    if (line.empty() || line[0] == '#') continue;
    if (line == "%%") {
      section++;
      continue;
    }
    std::istringstream words(line);
    int number = 0;
    std::string word;
    if (!(words >> number)) fail("line " + std::to_string(lineno) + ": no number");
    if (section == 0) {
      if (number < 1 || number > kSymbols || !(words >> word)) fail("line " + std::to_string(lineno));
      g.names[number] = word;
      g.byname[word] = number;
    } else if (section == 1) {
      Rule r;
      r.number = number;
      words >> word;
      r.lhs = symbol(word);
      if (r.lhs <= kTerminals || !(words >> word) || word != "->") fail("line " + std::to_string(lineno));
      while (words >> word && word != "|") r.rhs.push_back(symbol(word));
      if (word != "|" || r.rhs.empty() || !(words >> r.code)) fail("line " + std::to_string(lineno));
      words >> r.handler;
      if ((r.code != 0) != !r.handler.empty()) fail("line " + std::to_string(lineno) + ": action");
      g.maxrule = std::max(g.maxrule, number);
      g.rules.push_back(r);
    } else {
      words >> word;
      int t = symbol(word);
      if (t > kTerminals) fail("line " + std::to_string(lineno) + ": not a terminal");
      g.expected.insert({number, t});
    }
  }
  if (g.rules.size() < 2) fail("no rules");
  // The start symbol is the left side of the first rule.
  g.rules[0].lhs = 0;
  g.rules[0].rhs = {g.rules[1].lhs};
  return g;
}

// ---- LR(0) states and LALR(1) lookaheads ----------------------------------------------------------

struct Item {
  int rule, dot;
  bool operator<(const Item &o) const { return rule != o.rule ? rule < o.rule : dot < o.dot; }
  bool operator==(const Item &o) const { return rule == o.rule && dot == o.dot; }
};

struct State {
  std::vector<Item> kernel;
  std::vector<Set> la;                       // lookaheads of the kernel items
  std::vector<std::pair<int, int>> moves;    // (symbol, target state) in order of first use
  std::vector<Item> closure;                 // kernel then added items
};

struct Automaton {
  const Grammar &g;
  std::vector<State> states;
  std::vector<std::vector<int>> rules_of;  // nonterminal -> rule indices
  std::vector<Set> first;                  // nonterminal -> FIRST

  explicit Automaton(const Grammar &gr) : g(gr), rules_of(kSymbols + 1), first(kSymbols + 1) {
    for (size_t k = 1; k < g.rules.size(); k++) rules_of[g.rules[k].lhs].push_back(int(k));
    for (bool changed = true; changed;) {  // no empty rules: FIRST of a rule is FIRST of its first symbol
      changed = false;
      for (size_t k = 1; k < g.rules.size(); k++) {
        int s = g.rules[k].rhs[0];
        Set add = s <= kTerminals ? Set().set(s) : first[s];
        Set &f = first[g.rules[k].lhs];
        if ((add & ~f).any()) f |= add, changed = true;
      }
    }
  }

  int symbol_after(const Item &i) const {
    const Rule &r = g.rules[i.rule];
    return i.dot < int(r.rhs.size()) ? r.rhs[i.dot] : 0;
  }

  void close(State &s) const {
    s.closure = s.kernel;
    std::vector<bool> added(kSymbols + 1);
    for (size_t k = 0; k < s.closure.size(); k++) {
      int b = symbol_after(s.closure[k]);
      if (b > kTerminals && !added[b]) {
        added[b] = true;
        for (int r : rules_of[b]) s.closure.push_back({r, 0});
      }
    }
  }

  void build() {
    std::map<std::vector<Item>, int> index;
    State start;
    start.kernel = {{0, 0}};
    states.push_back(start);
    index[start.kernel] = 0;
    for (size_t n = 0; n < states.size(); n++) {
      close(states[n]);
      std::vector<int> order;
      std::map<int, std::vector<Item>> next;
      for (const Item &i : states[n].closure) {
        int x = symbol_after(i);
        if (!x) continue;
        if (!next.count(x)) order.push_back(x);
        next[x].push_back({i.rule, i.dot + 1});
      }
      for (int x : order) {
        std::vector<Item> k = next[x];
        std::sort(k.begin(), k.end());
        auto [it, fresh] = index.try_emplace(k, int(states.size()));
        if (fresh) {
          State t;
          t.kernel = k;
          states.push_back(t);
        }
        states[n].moves.push_back({x, it->second});
      }
    }
    for (State &s : states) s.la.assign(s.kernel.size(), Set());
  }

  Set first_of(const Rule &r, int from) const {
    int s = r.rhs[from];
    return s <= kTerminals ? Set().set(s) : first[s];
  }

  // Lookaheads by propagation to a fixed point: within a state from the kernel items
  // to the added ones (per nonterminal), and along every move to the next kernel.
  void lookaheads() {
    states[0].la[0] = first[g.rules[0].rhs[0]];
    for (bool changed = true; changed;) {
      changed = false;
      for (State &s : states) {
        std::vector<Set> of(kSymbols + 1);
        auto item_la = [&](size_t k) { return k < s.kernel.size() ? s.la[k] : of[g.rules[s.closure[k].rule].lhs]; };
        for (bool inner = true; inner;) {
          inner = false;
          for (size_t k = 0; k < s.closure.size(); k++) {
            const Item &i = s.closure[k];
            int b = symbol_after(i);
            if (b <= kTerminals) continue;
            const Rule &r = g.rules[i.rule];
            Set add = i.dot + 1 < int(r.rhs.size()) ? first_of(r, i.dot + 1) : item_la(k);
            if ((add & ~of[b]).any()) of[b] |= add, inner = true;
          }
        }
        for (size_t k = 0; k < s.closure.size(); k++) {
          int x = symbol_after(s.closure[k]);
          if (!x) continue;
          int t = std::find_if(s.moves.begin(), s.moves.end(), [&](auto &m) { return m.first == x; })->second;
          State &to = states[t];
          Item moved{s.closure[k].rule, s.closure[k].dot + 1};
          size_t j = std::lower_bound(to.kernel.begin(), to.kernel.end(), moved) - to.kernel.begin();
          Set add = item_la(k);
          if ((add & ~to.la[j]).any()) to.la[j] |= add, changed = true;
        }
      }
    }
  }

  bool folded(const State &s) const {
    return s.kernel.size() == 1 && !symbol_after(s.kernel[0]);
  }
};

// ---- Tables ----------------------------------------------------------------------------------------------

struct Tables {
  struct Out {
    int count = 0, sr = 0, set = 0, rule = 0, base = 0;
  };
  std::vector<Out> states;           // 1-based
  std::vector<int> symbol, target;   // 1-based
  std::vector<Set> sets;             // 1-based
  int lr0 = 0, folded = 0;
};

Tables make_tables(const Grammar &g, Automaton &a) {
  Tables t;
  std::vector<int> number(a.states.size());
  t.lr0 = int(a.states.size());
  t.states.push_back({});
  for (size_t n = 0; n < a.states.size(); n++) {
    if (a.folded(a.states[n])) {
      t.folded++;
    } else {
      number[n] = int(t.states.size());
      t.states.push_back({});
    }
  }
  t.symbol.push_back(0);
  t.target.push_back(0);
  t.sets.push_back(Set());
  std::set<std::pair<int, int>> found;
  std::string errors;
  for (size_t n = 0; n < a.states.size(); n++) {
    const State &s = a.states[n];
    if (a.folded(s)) continue;
    Tables::Out &o = t.states[number[n]];
    o.base = int(t.symbol.size()) - 1;
    Set shifted;
    for (int pass = 0; pass < 2; pass++)
      for (auto [x, to] : s.moves) {
        bool fold = a.folded(a.states[to]);
        if (fold != (pass == 0)) continue;
        t.symbol.push_back(x);
        t.target.push_back(fold ? g.rules[a.states[to].kernel[0].rule].number : number[to]);
        if (x <= kTerminals) shifted.set(x);
        o.count++;
        o.sr += fold;
      }
    std::vector<size_t> reductions;
    for (size_t k = 0; k < s.kernel.size(); k++)
      if (!a.symbol_after(s.kernel[k])) reductions.push_back(k);
    if (reductions.empty()) continue;
    if (reductions.size() > 1) {
      errors += "state " + std::to_string(n) + " has " + std::to_string(reductions.size()) + " reductions";
      for (size_t i = 0; i < reductions.size(); i++)
        for (size_t j = i + 1; j < reductions.size(); j++)
          if ((s.la[reductions[i]] & s.la[reductions[j]]).any()) errors += " (reduce/reduce conflict)";
      errors += "\n";
      continue;
    }
    const Set &la = s.la[reductions[0]];
    int rule = g.rules[s.kernel[reductions[0]].rule].number;
    for (int x = 1; x <= kTerminals; x++)
      if (la[x] && shifted[x]) found.insert({rule, x});
    auto it = std::find(t.sets.begin() + 1, t.sets.end(), la);
    o.set = int(it - t.sets.begin());
    if (it == t.sets.end()) t.sets.push_back(la);
    o.rule = rule;
  }
  for (auto [r, x] : found)
    if (!g.expected.count({r, x}))
      errors += "unexpected shift/reduce conflict: rule " + std::to_string(r) + " on " + g.names[x] + "\n";
  for (auto [r, x] : g.expected)
    if (!found.count({r, x}))
      errors += "expected shift/reduce conflict missing: rule " + std::to_string(r) + " on " + g.names[x] + "\n";
  if (!errors.empty()) fail("the grammar is not as expected:\n" + errors);
  return t;
}

// ---- Output ----------------------------------------------------------------------------------------------

std::string cstring(const std::string &s) {
  std::string out = "\"";
  for (char c : s) out += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
  return out + "\"";
}

void write_tables(const Grammar &g, const Tables &t, FILE *f) {
  fprintf(f, "// Generated by tools/lalrgen from reader/descriptor.grammar; do not edit.\n");
  fprintf(f, "#include \"reader/acpde.h\"\n#include \"reader/ppde.h\"\n\nnamespace {\n\n");
  fprintf(f, "const ppde_state states[] = {\n    {0, 0, 0, 0, 0, 0},\n");
  for (size_t n = 1; n < t.states.size(); n++) {
    const auto &o = t.states[n];
    fprintf(f, "    {%d, %d, %d, 0, %d, %d},  // %zu\n", o.count, o.sr, o.set, o.rule, o.base, n);
  }
  fprintf(f, "};\n\nconst uint16_t entry_symbol[] = {");
  for (size_t k = 0; k < t.symbol.size(); k++) fprintf(f, "%s%d,", k % 16 ? " " : "\n    ", t.symbol[k]);
  fprintf(f, "\n};\n\nconst uint16_t entry_target[] = {");
  for (size_t k = 0; k < t.target.size(); k++) fprintf(f, "%s%d,", k % 16 ? " " : "\n    ", t.target[k]);
  fprintf(f, "\n};\n\nconst ppde_rule rules[] = {\n    {0, 0, 0, 0},\n");
  std::vector<const Rule *> byno(g.maxrule + 1);
  for (size_t k = 1; k < g.rules.size(); k++) byno[g.rules[k].number] = &g.rules[k];
  for (int r = 1; r <= g.maxrule; r++) {
    if (byno[r])
      fprintf(f, "    {%d, %zu, 0, %d},  // %d\n", byno[r]->code, byno[r]->rhs.size(), byno[r]->lhs, r);
    else
      fprintf(f, "    {0, 0, 0, 0},  // %d unused\n", r);
  }
  fprintf(f, "};\n\nconst uint32_t sets[][5] = {\n    {0, 0, 0, 0, 0},\n");
  for (size_t n = 1; n < t.sets.size(); n++) {
    uint32_t w[5] = {};
    for (int x = 0; x < kSetBits; x++)
      if (t.sets[n][x]) w[x / 32] |= 0x80000000u >> (x % 32);
    fprintf(f, "    {0x%08x, 0x%08x, 0x%08x, 0x%08x, 0x%08x},\n", w[0], w[1], w[2], w[3], w[4]);
  }
  fprintf(f, "};\n\n}  // namespace\n\n");
  fprintf(f, "const parse_tables ppde_tables = {%zu, %zu, %d, %zu, states, entry_symbol, entry_target, rules, sets, %d, %d};\n\n",
          t.states.size() - 1, t.symbol.size() - 1, g.maxrule, t.sets.size() - 1, t.lr0, t.folded);
  // The dispatch table: one handler per action code.
  std::map<int, std::string> handler;
  for (size_t k = 1; k < g.rules.size(); k++)
    if (g.rules[k].code) {
      auto [it, fresh] = handler.try_emplace(g.rules[k].code, g.rules[k].handler);
      if (!fresh && it->second != g.rules[k].handler) fail("two handlers for action " + std::to_string(it->first));
    }
  int codes = handler.empty() ? 0 : handler.rbegin()->first;
  std::set<std::string> declared;
  for (auto &[c, h] : handler)
    if (declared.insert(h).second) fprintf(f, "void %s(parse_node *, parse_node *const *);\n", h.c_str());
  fprintf(f, "\nacpde_handler acpde_handlers[ACPDE_CODES + 1] = {\n    nullptr,\n");
  for (int c = 1; c <= codes; c++)
    fprintf(f, "    %s,  // %d\n", handler.count(c) ? handler[c].c_str() : "nullptr", c);
  fprintf(f, "};\nstatic_assert(%d == ACPDE_CODES, \"action codes\");\n\n", codes);
  fprintf(f, "const char *const acpde_handler_names[ACPDE_CODES + 1] = {\n    nullptr,\n");
  for (int c = 1; c <= codes; c++)
    fprintf(f, "    %s,\n", handler.count(c) ? cstring(handler[c]).c_str() : "nullptr");
  fprintf(f, "};\n");
}

// The grammar for bison: terminal n is T<n>, nonterminal n is N<n>; the recogniser
// reads its tokens from an array and records where it stopped.
void write_bison(const Grammar &g, FILE *f) {
  fprintf(f, "/* Generated by tools/lalrgen from reader/descriptor.grammar; do not edit. */\n");
  fprintf(f, "%%{\n#include <stdint.h>\nstatic const uint16_t *toks; static int ntoks, reads, failed;\n");
  fprintf(f, "static int yylex(void); static void yyerror(const char *m) { (void)m; failed = reads; }\n%%}\n");
  fprintf(f, "%%define parse.error simple\n");
  for (int x = 1; x <= kTerminals; x++) fprintf(f, "%%token T%d\n", x);
  fprintf(f, "%%start N%d\n%%%%\n", g.rules[0].rhs[0]);
  for (size_t k = 1; k < g.rules.size(); k++) {
    fprintf(f, "N%d:", g.rules[k].lhs);
    for (int x : g.rules[k].rhs) fprintf(f, " %c%d", x <= kTerminals ? 'T' : 'N', x);
    fprintf(f, " ; /* %d */\n", g.rules[k].number);
  }
  fprintf(f, "%%%%\nstatic const int codes[] = {0");
  for (int x = 1; x <= kTerminals; x++) fprintf(f, ", T%d", x);
  fprintf(f, "};\n");
  fprintf(f, "static int yylex(void) {\n  reads++;\n  if (reads > ntoks) return 0;\n  uint16_t t = toks[reads - 1];\n"
             "  return t >= 1 && t <= %d ? codes[t] : YYUNDEF;\n}\n", kTerminals);
  fprintf(f, "/* 0 when the n tokens and the end marker are accepted, else the number of\n"
             "   tokens read (the end marker counted as one) when the syntax error was found. */\n");
  fprintf(f, "int bison_recognise(const uint16_t *t, int n) {\n  toks = t; ntoks = n; reads = 0; failed = 0;\n"
             "  return yyparse() ? (failed ? failed : -1) : 0;\n}\n");
}

}  // namespace

int main(int argc, char **argv) {
  bool bison = argc == 4 && std::string(argv[1]) == "--bison";
  if (argc != 3 && !bison) fail("usage: lalrgen [--bison] GRAMMAR OUTPUT");
  Grammar g = read_grammar(argv[argc - 2]);
  FILE *f = fopen(argv[argc - 1], "w");
  if (!f) fail(std::string("cannot write ") + argv[argc - 1]);
  if (bison) {
    write_bison(g, f);
  } else {
    Automaton a(g);
    a.build();
    a.lookaheads();
    Tables t = make_tables(g, a);
    write_tables(g, t, f);
    printf("lalrgen: %d LR(0) states, %d folded, %zu states, %zu entries, %zu lookahead sets\n", t.lr0, t.folded,
           t.states.size() - 1, t.symbol.size() - 1, t.sets.size() - 1);
  }
  if (fclose(f)) fail("write error");
  return 0;
}
