// simptree: evaluation of a scalar tree that depends only on constants and the
// coordinates x, y, z and t, without mesh, cell or variables (boundary curves given
// by equations). Anything else stops with a fatal error.
#pragma once
#include "elements/evalpoint.h"
#include "model/trees.h"

int simptree_init();

// The tree's value at the point (only x, y, z and t are read); a null tree is 0.
// A node whose value kind is not scalar stops with "RESULT MUST BE SCALAR!", an
// operator outside the accepted set with "ILLEGAL OPERATOR!" after a debug-log line,
// a quotient far beyond the range with "DIVIDE BY ZERO".
double simptree_simpeval(const TreeNode *tree, const evalpoint *point);
