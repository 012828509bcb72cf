// A double of the linear-form reduction for the cut-plane tests: adds f times a tree
// that is linear in the coordinates to a x + b y + c z + d.
#include <cstring>

#include "control/pdedat.h"
#include "model/treemods.h"
#include "reader/rdpde.h"
#include "runtime/owner.h"

void treemods_planarize(double *a, double *b, double *c, double *d, TreeNode *t, double f) {
  switch (t->opcode) {
    case op::realzero: return;
    case op::realval: *d += f * t->value; return;
    case op::xcoord: *a += f; return;
    case op::ycoord: *b += f; return;
    case op::zcoord: *c += f; return;
    case op::negateop: treemods_planarize(a, b, c, d, t->child[0], -f); return;
    case op::addop:
    case op::subop:
      treemods_planarize(a, b, c, d, t->child[0], f);
      treemods_planarize(a, b, c, d, t->child[1], t->opcode == op::subop ? -f : f);
      return;
    case op::mulop:
      if (t->child[0]->opcode == op::realval) return treemods_planarize(a, b, c, d, t->child[1], f * t->child[0]->value);
      if (t->child[1]->opcode == op::realval) return treemods_planarize(a, b, c, d, t->child[0], f * t->child[1]->value);
      [[fallthrough]];
    default: {
      StringOwner m;
      strings_copyto_1(m.get(), "Planar Surface Required");
      pdedat_parse_err_1(rdpde_problem, t, m.get());
    }
  }
}
