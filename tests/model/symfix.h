// Fixture of the symbolic-algebra tests: a live problem whose errors go to a temporary
// log, trees from the infix builder, and the value of a tree.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/simptree.h"
#include "model/symtab.h"
#include "model/treesimp.h"
#include "runtime/except.h"
#include "tests/model/reports.h"
#include "tests/model/treebuild.h"
#include "tests/runtime/harness.h"
#include "tests/tempfiles.h"

// The error a call reports under the catch point named home ("" when it returns): the
// message of the "Line n ERROR: ..." line it adds to the batch log, or the fatal text.
template <class F> std::string reported_error(FILE *log, const char *home, F &&body) {
  HookScope hook;
  long mark = ftell(log);
  int code = except_catch(home, body);
  if (code == 0) return "";
  if (code == EXCEPT_FATAL) {
    std::string text = fatal_message.text;
    finish_report(home);
    return text;
  }
  fflush(log);
  fseek(log, mark, SEEK_SET);
  std::string text = slurp_stream(log);
  size_t at = text.find("ERROR: ");
  return at == std::string::npos ? text : text.substr(at + 7, text.find('\n', at) - at - 7);
}

struct Symbolic : ::testing::Test {
  FILE *log = tmpfile();
  ModelReports reports{log};
  pde *p = nullptr;
  TreeEnv env;
  void SetUp() override {
    if (!symtab_optree) symtab_operators(&symtab_optree), symtab_builtins(&symtab_optree);
    p = model_new_problem(log);
    env.names["U"] = {op::varble, 1};
    env.names["V"] = {op::varble, 2};
  }
  void TearDown() override {
    model_free_problem(p);
    fclose(log);
  }
  TreeNode *build(const std::string &text) { return treebuild(text, env); }
  TreeNode *simp(TreeNode *t) {
    uint8_t ch = 0;
    return treesimp_simplify(t, 1, &ch);
  }
  // The error a call reports, its run-log lines kept out of the way.
  template <class F> std::string error_of(F &&body) {
    LogCapture capture;
    return reported_error(log, "symbolic", body);
  }
};

// Operators the infix reader cannot write, in prefix form: name[index](children); a
// variable as u and its number, its coordinate selectors after a dot; an integral or
// derivative with its first selector after the name.
inline std::string show(const TreeNode *t) {
  if (!t) return "NIL";
  if (t->opcode == op::realzero || t->opcode == op::realval) {
    char b[32];
    snprintf(b, sizeof b, "%.15g", t->opcode == op::realzero ? 0.0 : t->value);
    return b;
  }
  if (t->opcode >= op::xcoord && t->opcode <= op::tcoord) return std::string(1, "XYZT"[t->opcode - op::xcoord]);
  if (t->opcode == op::varble) {
    std::string s = "u" + std::to_string(t->index);
    if (t->deriv[0]) s += "." + std::to_string(t->deriv[0]) + (t->deriv[1] ? std::to_string(t->deriv[1]) : "");
    return s;
  }
  std::string s = trees_optable[t->opcode].name;
  if (t->opcode == op::intpower) s += "[" + std::to_string(int16_t(t->index)) + "]";
  if ((t->group == integrop || t->group == derivop) && t->deriv[0]) s += std::to_string(t->deriv[0]);
  if (t->group == leafop) return s;
  s += "(";
  for (int k = 0; k < t->arity; k++) s += (k ? "," : "") + show(t->child[k]);
  return s + ")";
}

inline double value_at(const TreeNode *t, double x, double y = 0, double tt = 0) {
  evalpoint e{};
  e.x = x, e.y = y, e.t = tt;
  return simptree_simpeval(t, &e);
}
