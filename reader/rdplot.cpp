// rdplot, until the MONITORS, PLOTS and HISTORIES actions are built: the handlers build nothing.
#include "reader/rdplot.h"

#include "runtime/rtlib.h"

void rdplot_plotview0(parse_node *, parse_node *const *) {}
void rdplot_startmons(parse_node *, parse_node *const *) {}
void rdplot_packplot(parse_node *, parse_node *const *) {}
void rdplot_packhist(parse_node *, parse_node *const *) {}
void rdplot_startplots(parse_node *, parse_node *const *) {}
void rdplot_plotreport0(parse_node *, parse_node *const *) {}
void rdplot_plotreport(parse_node *, parse_node *const *) {}
void rdplot_stringreport1(parse_node *, parse_node *const *) {}
void rdplot_stringreport2(parse_node *, parse_node *const *) {}
void rdplot_onedplot(parse_node *, parse_node *const *) {}
void rdplot_plotas(parse_node *, parse_node *const *) {}
void rdplot_printformat(parse_node *, parse_node *const *) {}
void rdplot_plotmods(parse_node *, parse_node *const *) {}
void rdplot_pplotmods(parse_node *, parse_node *const *) {}
void rdplot_plotvals(parse_node *, parse_node *const *) {}
void rdplot_plotprint(parse_node *, parse_node *const *) {}
void rdplot_printstar(parse_node *, parse_node *const *) {}
void rdplot_printnum(parse_node *, parse_node *const *) {}
void rdplot_printnum2(parse_node *, parse_node *const *) {}
void rdplot_printfile(parse_node *, parse_node *const *) {}
void rdplot_zoomonly(parse_node *, parse_node *const *) {}
void rdplot_plotzoom(parse_node *, parse_node *const *) {}
void rdplot_plotzoom3(parse_node *, parse_node *const *) {}
void rdplot_plotview(parse_node *, parse_node *const *) {}
void rdplot_fromto1d(parse_node *, parse_node *const *) {}
void rdplot_ploton(parse_node *, parse_node *const *) {}
void rdplot_plotonregionum(parse_node *, parse_node *const *) {}
void rdplot_plotonregioname(parse_node *, parse_node *const *) {}
void rdplot_plotonsurfnum(parse_node *, parse_node *const *) {}
void rdplot_plotonsurfname(parse_node *, parse_node *const *) {}
void rdplot_plotonlayernum(parse_node *, parse_node *const *) {}
void rdplot_plotonlayername(parse_node *, parse_node *const *) {}
void rdplot_plotonsurfeqn(parse_node *, parse_node *const *) {}
void rdplot_plotoneqn(parse_node *, parse_node *const *) {}
void rdplot_pointspec1(parse_node *, parse_node *const *) {}
void rdplot_pointspec2(parse_node *, parse_node *const *) {}
void rdplot_pointspec3(parse_node *, parse_node *const *) {}
void rdplot_plotrange(parse_node *, parse_node *const *) {}
void rdplot_ploterange(parse_node *, parse_node *const *) {}
void rdplot_plotfrange(parse_node *, parse_node *const *) {}
void rdplot_plotefrange(parse_node *, parse_node *const *) {}
void rdplot_pronly(parse_node *, parse_node *const *) {}
void rdplot_startctour(parse_node *, parse_node *const *) {}
void rdplot_startctour2(parse_node *, parse_node *const *) {}
void rdplot_startsurf(parse_node *, parse_node *const *) {}
void rdplot_startgrid(parse_node *, parse_node *const *) {}
void rdplot_startgrid3(parse_node *, parse_node *const *) {}
void rdplot_startvec2(parse_node *, parse_node *const *) {}
void rdplot_startvec1(parse_node *, parse_node *const *) {}
void rdplot_startflow2(parse_node *, parse_node *const *) {}
void rdplot_startsummary(parse_node *, parse_node *const *) {}
void rdplot_labeledsummary(parse_node *, parse_node *const *) {}
void rdplot_startelev(parse_node *, parse_node *const *) {}
void rdplot_nextelev(parse_node *, parse_node *const *) {}
void rdplot_startcdf(parse_node *, parse_node *const *) {}
void rdplot_starttecp(parse_node *, parse_node *const *) {}
void rdplot_starttable(parse_node *, parse_node *const *) {}
void rdplot_starttransfer(parse_node *, parse_node *const *) {}
void rdplot_nextexport(parse_node *, parse_node *const *) {}
void rdplot_fortime(parse_node *, parse_node *const *) {}
void rdplot_fortimet(parse_node *, parse_node *const *) {}
void rdplot_nextime(parse_node *, parse_node *const *) {}
void rdplot_bytime(parse_node *, parse_node *const *) {}
void rdplot_starthists(parse_node *, parse_node *const *) {}
void rdplot_histarg1(parse_node *, parse_node *const *) {}
void rdplot_histarg2(parse_node *, parse_node *const *) {}
void rdplot_histat(parse_node *, parse_node *const *) {}
void rdplot_nextat1(parse_node *, parse_node *const *) {}
void rdplot_nextat2(parse_node *, parse_node *const *) {}

int rdplot_init() {
  TRACE("rdplot");
  return 0;
}
