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

// Binary operators shared by every scalar evaluator: the value of opcode on a and b in
// *r, and 0; simptree_divzero for a quotient beyond the range (a nonzero over a divisor
// below |a|·1e-300; 0/0 is 0), simptree_badop for an opcode that is not binary. smooth
// selects UPULSE with edges rounded by the error function over 1% of its width.
enum { simptree_divzero = 1, simptree_badop = 2 };
int simptree_binop(int32_t opcode, double a, double b, bool smooth, double *r);
