// rdexpr, until the expression, definition-section, REPEAT and FOR actions are built: the handlers build nothing.
#include "reader/rdexpr.h"

#include "runtime/rtlib.h"

void rdexpr_endvar(parse_node *, parse_node *const *) {}
void rdexpr_eqnum(parse_node *, parse_node *const *) {}
void rdexpr_eqnum1(parse_node *, parse_node *const *) {}
void rdexpr_titlestring(parse_node *, parse_node *const *) {}
void rdexpr_copystring(parse_node *, parse_node *const *) {}
void rdexpr_startvar(parse_node *, parse_node *const *) {}
void rdexpr_scalarvar(parse_node *, parse_node *const *) {}
void rdexpr_newvar1(parse_node *, parse_node *const *) {}
void rdexpr_newvarrg1(parse_node *, parse_node *const *) {}
void rdexpr_newvarrg2(parse_node *, parse_node *const *) {}
void rdexpr_newvarex1(parse_node *, parse_node *const *) {}
void rdexpr_newvarex2(parse_node *, parse_node *const *) {}
void rdexpr_buggervar(parse_node *, parse_node *const *) {}
void rdexpr_errwtvar(parse_node *, parse_node *const *) {}
void rdexpr_startdef(parse_node *, parse_node *const *) {}
void rdexpr_declare(parse_node *, parse_node *const *) {}
void rdexpr_fdefine(parse_node *, parse_node *const *) {}
void rdexpr_sdefine(parse_node *, parse_node *const *) {}
void rdexpr_stagex(parse_node *, parse_node *const *) {}
void rdexpr_arrayx(parse_node *, parse_node *const *) {}
void rdexpr_define(parse_node *, parse_node *const *) {}
void rdexpr_lastarg(parse_node *, parse_node *const *) {}
void rdexpr_defarg1(parse_node *, parse_node *const *) {}
void rdexpr_defarg2(parse_node *, parse_node *const *) {}
void rdexpr_deffunc(parse_node *, parse_node *const *) {}
void rdexpr_stage1(parse_node *, parse_node *const *) {}
void rdexpr_stage2(parse_node *, parse_node *const *) {}
void rdexpr_array1(parse_node *, parse_node *const *) {}
void rdexpr_array2(parse_node *, parse_node *const *) {}
void rdexpr_startiv(parse_node *, parse_node *const *) {}
void rdexpr_initial(parse_node *, parse_node *const *) {}
void rdexpr_startiniteq(parse_node *, parse_node *const *) {}
void rdexpr_starteq(parse_node *, parse_node *const *) {}
void rdexpr_groupeq(parse_node *, parse_node *const *) {}
void rdexpr_equation(parse_node *, parse_node *const *) {}
void rdexpr_equation2(parse_node *, parse_node *const *) {}
void rdexpr_startconstraint(parse_node *, parse_node *const *) {}
void rdexpr_constraint1(parse_node *, parse_node *const *) {}
void rdexpr_constraint2(parse_node *, parse_node *const *) {}
void rdexpr_resolve1(parse_node *, parse_node *const *) {}
void rdexpr_resolvewt(parse_node *, parse_node *const *) {}
void rdexpr_frontdef(parse_node *, parse_node *const *) {}
void rdexpr_sumstring(parse_node *, parse_node *const *) {}
void rdexpr_intstring(parse_node *, parse_node *const *) {}
void rdexpr_intstring1(parse_node *, parse_node *const *) {}
void rdexpr_plus(parse_node *, parse_node *const *) {}
void rdexpr_minus(parse_node *, parse_node *const *) {}
void rdexpr_plusterm(parse_node *, parse_node *const *) {}
void rdexpr_minusterm(parse_node *, parse_node *const *) {}
void rdexpr_times(parse_node *, parse_node *const *) {}
void rdexpr_divide(parse_node *, parse_node *const *) {}
void rdexpr_power(parse_node *, parse_node *const *) {}
void rdexpr_groupex(parse_node *, parse_node *const *) {}
void rdexpr_groupif(parse_node *, parse_node *const *) {}
void rdexpr_vec2(parse_node *, parse_node *const *) {}
void rdexpr_vec3(parse_node *, parse_node *const *) {}
void rdexpr_equalex(parse_node *, parse_node *const *) {}
void rdexpr_commex(parse_node *, parse_node *const *) {}
void rdexpr_variable(parse_node *, parse_node *const *) {}
void rdexpr_indexed(parse_node *, parse_node *const *) {}
void rdexpr_literal(parse_node *, parse_node *const *) {}
void rdexpr_lambdavar(parse_node *, parse_node *const *) {}
void rdexpr_stagevar(parse_node *, parse_node *const *) {}
void rdexpr_dtvar(parse_node *, parse_node *const *) {}
void rdexpr_voljvar(parse_node *, parse_node *const *) {}
void rdexpr_fcall1(parse_node *, parse_node *const *) {}
void rdexpr_fcall2(parse_node *, parse_node *const *) {}
void rdexpr_fcall2s(parse_node *, parse_node *const *) {}
void rdexpr_fcall3(parse_node *, parse_node *const *) {}
void rdexpr_fcall3ss(parse_node *, parse_node *const *) {}
void rdexpr_fcall3is(parse_node *, parse_node *const *) {}
void rdexpr_fcall3si(parse_node *, parse_node *const *) {}
void rdexpr_valpt(parse_node *, parse_node *const *) {}
void rdexpr_fcall4sss(parse_node *, parse_node *const *) {}
void rdexpr_fcall4iss(parse_node *, parse_node *const *) {}
void rdexpr_sumend(parse_node *, parse_node *const *) {}
void rdexpr_fcall4(parse_node *, parse_node *const *) {}
void rdexpr_sumheader(parse_node *, parse_node *const *) {}
void rdexpr_litint(parse_node *, parse_node *const *) {}
void rdexpr_litflt(parse_node *, parse_node *const *) {}
void rdexpr_offval(parse_node *, parse_node *const *) {}
void rdexpr_onval(parse_node *, parse_node *const *) {}
void rdexpr_ifthenex(parse_node *, parse_node *const *) {}
void rdexpr_ifthenelse(parse_node *, parse_node *const *) {}
void rdexpr_ifex(parse_node *, parse_node *const *) {}
void rdexpr_reland(parse_node *, parse_node *const *) {}
void rdexpr_relor(parse_node *, parse_node *const *) {}
void rdexpr_relation1(parse_node *, parse_node *const *) {}
void rdexpr_relnot(parse_node *, parse_node *const *) {}
void rdexpr_repeater(parse_node *, parse_node *const *) {}
void rdexpr_repeatbyto(parse_node *, parse_node *const *) {}
void rdexpr_repeattoby(parse_node *, parse_node *const *) {}
void rdexpr_endrepeat(parse_node *, parse_node *const *) {}
void rdexpr_frepeater(parse_node *, parse_node *const *) {}
void rdexpr_frepeatbyto(parse_node *, parse_node *const *) {}
void rdexpr_frepeattoby(parse_node *, parse_node *const *) {}
void rdexpr_fendrepeat(parse_node *, parse_node *const *) {}

int rdexpr_init() {
  TRACE("rdexpr");
  return 0;
}
