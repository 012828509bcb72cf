// pdedat: the problem record's helpers that the layers below run control use: whether
// a stage meshes again, the mode sets, the plot-group header and the text styles, and
// the release of what the model and the layers below it keep in the record.
#include <cstring>
#include <initializer_list>

#include "model/pdedat_record.h"
#include "model/model_view.h"
#include "model/trees.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/filio.h"
#include "runtime/rtlib.h"

bool pdedat_stage_regrids(const pde *p) { return p->stagegrid || p->stagedgeom; }

model_view model_view_of(const pde *p) {
  if (!p) return {};
  pde *q = const_cast<pde *>(p);
  return {&q->formulas, &q->globals, &q->basiscodes, &q->coords,     &q->mesh,
          q->dimension, q->stages,   q->stage,       q->difintegrals};
}

void pdedat_grow_modesets(pde *p, uint16_t P) {
  if (p->nmodesets >= P) return;
  vector2d *sets = nullptr;
  bopmemalloc(&sets, P, sizeof(vector2d));
  XMEM += int64_t(P) * sizeof(vector2d);
  if (p->modesets) {
    memcpy(sets, p->modesets, sizeof(vector2d) * p->nmodesets);
    XMEM -= int64_t(p->nmodesets) * sizeof(vector2d);
    bopmemfree(&p->modesets);
  }
  p->modesets = sets;
  p->nmodesets = P;
}

void pdedat_put_group(pde *p, uint16_t value) {
  TRACE("pdedat_put_group_0");
  IOfile *f = &p->plotfile;
  filio_put_long(f, p->mesh.nodes.count);
  filio_put_long(f, p->mesh.cells.count);
  filio_put_double(f, p->rmserr);
  filio_put_double(f, p->time);
  filio_put_ushort(f, uint16_t(p->cycle));
  filio_put_ushort(f, p->stages ? p->stage : 0);
  filio_put_ushort(f, p->regrids);
  filio_put_ushort(f, value);
}

void pdedat_clear_model(pde *p) {
  TRACE("pdedat_clear_model");
  vector2d_free(&p->work, 1);  // the solution and work vectors
  // The time run's levels and vectors.
  for (vector2d *v : {&p->solution, &p->um2, &p->um1, &p->uold, &p->udotold, &p->udot}) vector2d_free(v, 1);
  for (vectord *v : {&p->rold, &p->rnew, &p->mold, &p->mnew, &p->tsource, &p->tresid, &p->correction, &p->stepscale})
    vectord_free(v);
  vector2d_free(&p->errors, 1);
  vectord_free(&p->delta);
  vectorvd_free(&p->carried, 0);
  symtab_free(&p->scopes, 1);
  meshes_free(&p->mesh, 0);      // the mesh
  meshes_free(&p->basemesh, 1);  // the base mesh of an extrusion, with its domain copy
  metrics_clear_metric(&p->coords);
  formulas_free(&p->formulas);  // with the definitions' tables
  xferdat_free(&p->transfers);
  // What the reader kept of the descriptor.
  strings_free_0(&p->title);
  for (uint16_t k = 0; k < p->vars.count; k++) strings_free_0(&p->vars.items[k].name);
  if (p->vars.items) {
    XMEM -= int64_t(p->vars.capacity) * sizeof(pdevar);
    bopmemfree(&p->vars.items);
  }
  p->vars = {};
  strings_free_1(&p->varnames, 1);
  p->nfield = p->nscalar = p->maxstages = 0;
  for (vectorn *v : {&p->eqmap, &p->declared, &p->resolves, &p->fronts, &p->jacfits}) vectorn_free(v);
  vectord_free(&p->sumvalues);
}

void pdedat_free_model(pde *p) {
  TRACE("pdedat_free_model");
  meshes_free(&p->mesh, 1);
  String *texts[] = {&p->directory,   &p->name,        &p->header,      &p->startdate,  &p->logname,
                     &p->axisname[0], &p->axisname[1], &p->axisname[2], &p->axisname[3]};
  for (String *s : texts) strings_free_0(s);
  strings_free_1(&p->coordnames, 1);
  for (pdeblock *b = p->firstblock.next; b;) {
    pdeblock *next = b->next;
    XMEM -= b->size;
    bopmemfree(&b);
    b = next;
  }
  // The run controller's tables: quadrature for the problem's bases, eigenvalues.
  quature_free_vquad_basis(&p->vquad);
  quature_free_vquad_basis(&p->vquad1);
  quature_free_vquad_basis(&p->vquaderr);
  // Every side table that was built, whichever basis built it.
  quature_free_squad_basis(&p->squad, p->squad.side[0].code);
  quature_free_squad_basis(&p->squad1, p->squad1.side[0].code);
  vectord_free(&p->eigenvalues);
  vectorl_free(&p->basiscodes);
  // The evaluator's tables: derived globals, eigenvector sets, shared subexpressions.
  for (uint16_t k = 0; k < p->globals.count; k++) vectord_free(&p->globals.items[k].values);
  if (p->globals.items) {
    XMEM -= int64_t(p->globals.capacity) * sizeof(pdeglobal);
    bopmemfree(&p->globals.items);
  }
  for (uint16_t k = 0; k < p->nmodesets; k++) vector2d_free(&p->modesets[k], 1);
  if (p->modesets) {
    XMEM -= int64_t(p->nmodesets) * sizeof(vector2d);
    bopmemfree(&p->modesets);
  }
  vectord_free(&p->subvalues);
  vector2d_free(&p->subvectors, 1);
  vectorb_free(&p->basisflags);
  trees_free_1(&p->cseslots, 0);
  vector2d_free(&p->slotvalues, 1);
  vector2d_free(&p->fitvalues, 1);
  vectorn_free(&p->fitlist);
  vectorn_free(&p->initfits);
  vectorb_free(&p->fitflags);
  vectord_free(&p->fitscalars);
  point3d_free_1(&p->fitpoints);
  vectorl_free(&p->fitwords);
  vectorl_free(&p->sortindex);
  vectord_free(&p->magnitudes);
  vectord_free(&p->minima);
  vectord_free(&p->maxima);
}
