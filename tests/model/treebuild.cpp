// The test infix reader: recursive descent over one line.
#include "tests/model/treebuild.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "model/symtab.h"

namespace {

struct Token {
  std::string text;  // upper-cased word, number or operator; "" at the end
  uint16_t column;
};

struct Reader {
  std::vector<Token> tokens;
  size_t at = 0;
  const TreeEnv &env;

  Reader(const std::string &s, const TreeEnv &e) : env(e) {
    for (size_t i = 0; i < s.size();) {
      uint16_t col = uint16_t(i + 1);
      if (isspace(uint8_t(s[i]))) {
        i++;
      } else if (isdigit(uint8_t(s[i])) || s[i] == '.') {
        char *end;
        strtod(s.c_str() + i, &end);
        size_t n = end - (s.c_str() + i);
        tokens.push_back({s.substr(i, n), col});
        i += n;
      } else if (isalpha(uint8_t(s[i])) || s[i] == '_') {
        size_t j = i;
        while (j < s.size() && (isalnum(uint8_t(s[j])) || s[j] == '_')) j++;
        std::string w = s.substr(i, j - i);
        for (char &c : w) c = char(toupper(uint8_t(c)));
        tokens.push_back({w, col});
        i = j;
      } else {
        std::string two = s.substr(i, 2);
        size_t n = (two == "<=" || two == ">=" || two == "<>" || two == "**") ? 2 : 1;
        tokens.push_back({n == 2 && two == "**" ? "^" : s.substr(i, n), col});
        i += n;
      }
    }
    tokens.push_back({"", uint16_t(s.size() + 1)});
  }

  const Token &peek() const { return tokens[at]; }
  bool take(const char *t) {
    if (peek().text != t) return false;
    at++;
    return true;
  }
  void expect(const char *t) {
    if (!take(t)) throw std::runtime_error(std::string("expected ") + t + " at column " + std::to_string(peek().column));
  }
  TextLoc loc(const Token &t) const { return TextLoc{env.file, t.column, 1}; }

  TreeNode *node(int32_t opcode, const Token &t, std::initializer_list<TreeNode *> kids) {
    TextLoc l = loc(t);
    TreeNode *n = trees_new_1(opcode, &l);
    int k = 0;
    for (TreeNode *c : kids) n->child[k++] = c;
    if (kids.size() > 0) n->arity = uint8_t(kids.size());
    return n;
  }

  // Left-associative binary levels, loosest first.
  TreeNode *level(int lv) {
    static const std::vector<std::vector<std::pair<const char *, int32_t>>> ops = {
        {{"OR", op::logor}},
        {{"AND", op::logand}},
        {},  // NOT
        {{"<", op::ltnop}, {"<=", op::leqop}, {"=", op::equop}, {"<>", op::neqop}, {">=", op::geqop}, {">", op::gtrop}},
        {{"+", op::addop}, {"-", op::subop}},
        {{"*", op::mulop}, {"/", op::divop}},
    };
    if (lv == 2) {
      Token t = peek();
      if (take("NOT")) return node(op::lognot, t, {level(2)});
      return level(3);
    }
    if (lv == 6) return unary();
    TreeNode *left = level(lv + 1);
    for (;;) {
      Token t = peek();
      int32_t code = -1;
      for (auto &[s, c] : ops[lv])
        if (t.text == s) code = c;
      if (code < 0) return left;
      at++;
      left = node(code, t, {left, level(lv + 1)});
    }
  }

  TreeNode *unary() {
    Token t = peek();
    if (take("-")) return node(op::negateop, t, {unary()});
    TreeNode *base = primary();
    Token p = peek();
    if (take("^")) return node(op::powerop, p, {base, unary()});
    return base;
  }

  TreeNode *primary() {
    Token t = peek();
    if (t.text.empty()) throw std::runtime_error("unexpected end");
    at++;
    if (t.text == "(") {
      TreeNode *e = level(0);
      expect(")");
      return e;
    }
    if (isdigit(uint8_t(t.text[0])) || t.text[0] == '.') {
      TextLoc l = loc(t);
      return trees_new_real_1(strtod(t.text.c_str(), nullptr), &l);
    }
    if (t.text == "IF") {
      TreeNode *c = level(0);
      expect("THEN");
      TreeNode *a = level(0);
      expect("ELSE");
      TreeNode *b = level(0);
      return node(op::ifthen, t, {a, b, c});
    }
    static const std::map<std::string, int32_t> coords = {
        {"X", op::xcoord}, {"Y", op::ycoord}, {"Z", op::zcoord}, {"T", op::tcoord}};
    if (auto c = coords.find(t.text); c != coords.end()) return node(c->second, t, {});
    if (auto b = env.names.find(t.text); b != env.names.end()) {
      TreeNode *n = node(b->second.opcode, t, {});
      n->index = b->second.index;
      n->name = b->second.name;
      return n;
    }
    String s{};
    strings_copyto_1(&s, t.text.c_str());
    const idrec *r = symtab_lookupid(symtab_optree, &s, strings_hashfn_0(&s));
    strings_free_0(&s);
    if (!r || (r->kind != funcnam && r->kind != difopnam && r->kind != literalnam))
      throw std::runtime_error("unknown name " + t.text);
    if (r->kind == literalnam) {
      TextLoc l = loc(t);
      return trees_new_real_1(static_cast<const TreeNode *>(r->value)->value, &l);
    }
    if (trees_optable[r->index].group == leafop) throw std::runtime_error(t.text + " is no function here");
    TreeNode *n = node(int32_t(r->index), t, {});
    n->deriv[0] = r->suba;
    n->deriv[1] = r->subb;
    expect("(");
    int k = 0;
    do {
      if (k == 3) throw std::runtime_error("more than three arguments");
      n->child[k++] = level(0);
    } while (take(","));
    expect(")");
    n->arity = uint8_t(k);
    return n;
  }
};

}  // namespace

TreeNode *treebuild(const std::string &text, const TreeEnv &env) {
  Reader r(text, env);
  TreeNode *t = nullptr;
  try {
    t = r.level(0);
    if (!r.peek().text.empty()) throw std::runtime_error("trailing text at column " + std::to_string(r.peek().column));
  } catch (const std::exception &e) {
    ADD_FAILURE() << "treebuild(\"" << text << "\"): " << e.what();
    return trees_free_0(t);
  }
  return t;
}
