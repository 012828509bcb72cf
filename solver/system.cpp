// system: the release of the assembled system record.
#include "solver/system.h"

#include <initializer_list>

#include "model/system_record.h"
#include "solver/bandmxd.h"
#include "solver/bigmatx.h"
#include "solver/sparsemx.h"

void system_release(System *s) {
  bigmatx_free(&s->layout);
  for (sparsemx *m : {&s->link, &s->matrix, &s->tmatrix, &s->block, &s->precmx}) sparsemx_free(m, 1);
  bandmxd_free(&s->precband);
  for (vectorl *v : {&s->unknowns, &s->perm, &s->invperm, &s->natcells, &s->depcells}) vectorl_free(v);
  for (vectord *v :
       {&s->operate, &s->toperate, &s->source, &s->residual, &s->firstscale, &s->secondscale, &s->precscale,
        &s->precvec, &s->scalefac, &s->scalesign, &s->savedscale, &s->timescale, &s->ranges})
    vectord_free(v);
  for (vector2l *v : {&s->valuenodes, &s->valuebcs, &s->loadnodes, &s->loadbcs}) vector2l_free(v, 1);
  vectorn_free(&s->tcount);
  vector2d_free(&s->tnodes, 1);
  vector2d_free(&s->tweights, 1);
}
