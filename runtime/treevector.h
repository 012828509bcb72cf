// treevector: lists of expression trees, for the records of every layer that hold
// trees (the domain's surfaces, the formulas, the plots). The trees themselves and the
// work on the lists are the model's (model/trees.h).
#pragma once
#include <cstdint>

struct TreeNode;

// A list of trees, entries 1..count (entry k is data[k-1]); grows by 10.
struct treevector {
  uint16_t count;
  uint16_t capacity;
  TreeNode **data;
};
// A list of tree vectors, entries in place.
struct treevectors {
  uint16_t count;
  uint16_t capacity;
  treevector *data;
};
