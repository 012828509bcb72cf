// rdomain: the point actions without brackets and the folding of geometry numbers; the
// boundary, coordinate, time and end actions build nothing yet.
#include "reader/rdomain.h"

#include "reader/acpde.h"
#include "control/pdedat.h"
#include "reader/rdexpr.h"
#include "reader/rdpde.h"
#include "runtime/rtlib.h"

void rdomain_end_key(parse_node *, parse_node *const *) { acpde_descriptor_end(); }
void rdomain_end_key1(parse_node *, parse_node *const *) { acpde_descriptor_end(); }
void rdomain_eof_end(parse_node *, parse_node *const *) { acpde_descriptor_end(); }
void rdomain_uncoded_end(parse_node *, parse_node *const *) {}
void rdomain_endbdry(parse_node *, parse_node *const *) {}
void rdomain_coordspec0(parse_node *, parse_node *const *) {}
void rdomain_coordspec(parse_node *, parse_node *const *) {}
void rdomain_coordspec1(parse_node *, parse_node *const *) {}
void rdomain_coordspec2(parse_node *, parse_node *const *) {}
void rdomain_coordspec3(parse_node *, parse_node *const *) {}
void rdomain_coordeq(parse_node *, parse_node *const *) {}
void rdomain_coordtime(parse_node *, parse_node *const *) {}
void rdomain_meshspace(parse_node *, parse_node *const *) {}
void rdomain_meshdens(parse_node *, parse_node *const *) {}
void rdomain_globalize(parse_node *, parse_node *const *) {}
void rdomain_endregion(parse_node *, parse_node *const *) {}
void rdomain_boundstart(parse_node *, parse_node *const *) {}
void rdomain_moreloop(parse_node *, parse_node *const *) {}
void rdomain_fixpoint(parse_node *, parse_node *const *) {}
void rdomain_startregion(parse_node *, parse_node *const *) {}
void rdomain_startfeature(parse_node *, parse_node *const *) {}
void rdomain_startexclude(parse_node *, parse_node *const *) {}
void rdomain_tagregion(parse_node *, parse_node *const *) {}
void rdomain_nameregion(parse_node *, parse_node *const *) {}
void rdomain_flushlayer(parse_node *, parse_node *const *) {}
void rdomain_pointbcs(parse_node *, parse_node *const *) {}
void rdomain_fixstart(parse_node *, parse_node *const *) {}
void rdomain_startpoint(parse_node *, parse_node *const *) {}
void rdomain_namestart(parse_node *, parse_node *const *) {}
void rdomain_natbc(parse_node *, parse_node *const *) {}
void rdomain_valbc(parse_node *, parse_node *const *) {}
void rdomain_neubc(parse_node *, parse_node *const *) {}
void rdomain_tanbc(parse_node *, parse_node *const *) {}
void rdomain_bcoff(parse_node *, parse_node *const *) {}
void rdomain_nodespace(parse_node *, parse_node *const *) {}
void rdomain_nodedens(parse_node *, parse_node *const *) {}
void rdomain_startline(parse_node *, parse_node *const *) {}
void rdomain_moreline(parse_node *, parse_node *const *) {}
void rdomain_endlinelist(parse_node *, parse_node *const *) {}
void rdomain_arccangle(parse_node *, parse_node *const *) {}
void rdomain_arcctopoint(parse_node *, parse_node *const *) {}
void rdomain_arcrtopoint(parse_node *, parse_node *const *) {}
void rdomain_arcrdangle(parse_node *, parse_node *const *) {}
void rdomain_arctoptop(parse_node *, parse_node *const *) {}
void rdomain_arcstopoint(parse_node *, parse_node *const *) {}
void rdomain_periodic1(parse_node *, parse_node *const *) {}
void rdomain_periodic2(parse_node *, parse_node *const *) {}
void rdomain_periodic3(parse_node *, parse_node *const *) {}
void rdomain_perflag(parse_node *, parse_node *const *) {}
void rdomain_aperflag(parse_node *, parse_node *const *) {}
void rdomain_fillet(parse_node *, parse_node *const *) {}
void rdomain_bevel(parse_node *, parse_node *const *) {}
void rdomain_radangle(parse_node *, parse_node *const *) {}
void rdomain_setradius(parse_node *, parse_node *const *) {}
void rdomain_setdir(parse_node *, parse_node *const *) {}
void rdomain_arcr(parse_node *, parse_node *const *) {}
void rdomain_arcrd(parse_node *, parse_node *const *) {}
void rdomain_arcrd1(parse_node *, parse_node *const *) {}
void rdomain_arcc(parse_node *, parse_node *const *) {}
void rdomain_arcc1(parse_node *, parse_node *const *) {}
void rdomain_defpoint(parse_node *, parse_node *const *) {}
void rdomain_defpoint3(parse_node *, parse_node *const *) {}
// Points without brackets (VAL and arc centres): the folded numbers in the value.
void rdomain_barepoint3(parse_node *r, parse_node *const *v) {
  double x = rdomain_stageize(v[1]);
  r->tree = nullptr;  // it was v[1]'s
  double y = rdomain_stageize(v[2]), z = rdomain_stageize(v[3]);
  r->value.xyz[0] = x, r->value.xyz[1] = y, r->value.xyz[2] = z;
}

void rdomain_barepoint(parse_node *r, parse_node *const *v) {
  double x = rdomain_stageize(v[1]);
  r->tree = nullptr;
  double y = rdomain_stageize(v[2]);
  r->value.xyz[0] = x, r->value.xyz[1] = y, r->value.xyz[2] = 0;
  r->loc = v[2]->loc;
}

double rdomain_stageize(parse_node *n) {
  TRACE("rdomain_stageize");
  if (rdexpr_holds_definition(n->tree)) rdpde_problem->stagedgeom = 1;
  return rdexpr_constize(n);
}
void rdomain_topoint0(parse_node *, parse_node *const *) {}
void rdomain_topoint(parse_node *, parse_node *const *) {}
void rdomain_tofinish(parse_node *, parse_node *const *) {}
void rdomain_pointvalue(parse_node *, parse_node *const *) {}
void rdomain_pointload(parse_node *, parse_node *const *) {}
void rdomain_startpointlist(parse_node *, parse_node *const *) {}
void rdomain_listpoint(parse_node *, parse_node *const *) {}
void rdomain_listpoint0(parse_node *, parse_node *const *) {}
void rdomain_haltdt(parse_node *, parse_node *const *) {}
void rdomain_tstart2(parse_node *, parse_node *const *) {}
void rdomain_tstart1(parse_node *, parse_node *const *) {}
void rdomain_tend2(parse_node *, parse_node *const *) {}
void rdomain_tby2(parse_node *, parse_node *const *) {}

int rdomain_init() {
  TRACE("rdomain");
  return 0;
}
