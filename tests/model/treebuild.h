// A small infix reader for tests that need expression trees before the parser
// exists: numbers, X Y Z T, bound names, + - * / ^, relations, AND OR NOT,
// IF c THEN a ELSE b, and built-in calls found in the operator tree. Every node
// carries line 1 and the column of its token.
#pragma once
#include <map>
#include <string>

#include "model/trees.h"

struct TreeBinding {
  int32_t opcode;            // op::varble, op::param, op::fitfun, ...
  uint16_t index;            // the number the node refers to
  const String *name = nullptr;  // kept by param nodes
};

struct TreeEnv {
  std::map<std::string, TreeBinding> names;
  uint16_t file = 1;  // the file number of every position
};

// The tree of text; a syntax error or an unknown name fails the current test and
// gives null.
TreeNode *treebuild(const std::string &text, const TreeEnv &env = TreeEnv());
