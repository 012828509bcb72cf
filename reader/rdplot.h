// rdplot: the MONITORS, PLOTS and HISTORIES actions of the descriptor parser: the plot
// records, their time selections and the SELECT default viewpoint.
#pragma once

struct parse_node;

int rdplot_init();

// Forgets the section, the current records and the time selection: every parse of a
// problem starts from none (the records of an abandoned parse are released with it).
void rdplot_reset();

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
void rdplot_plotview0(parse_node *r, parse_node *const *v);
void rdplot_startmons(parse_node *r, parse_node *const *v);
void rdplot_packplot(parse_node *r, parse_node *const *v);
void rdplot_packhist(parse_node *r, parse_node *const *v);
void rdplot_startplots(parse_node *r, parse_node *const *v);
void rdplot_plotreport0(parse_node *r, parse_node *const *v);
void rdplot_plotreport(parse_node *r, parse_node *const *v);
void rdplot_stringreport1(parse_node *r, parse_node *const *v);
void rdplot_stringreport2(parse_node *r, parse_node *const *v);
void rdplot_onedplot(parse_node *r, parse_node *const *v);
void rdplot_closeargs(parse_node *r, parse_node *const *v);
void rdplot_plotas(parse_node *r, parse_node *const *v);
void rdplot_printformat(parse_node *r, parse_node *const *v);
void rdplot_plotmods(parse_node *r, parse_node *const *v);
void rdplot_pplotmods(parse_node *r, parse_node *const *v);
void rdplot_plotvals(parse_node *r, parse_node *const *v);
void rdplot_plotprint(parse_node *r, parse_node *const *v);
void rdplot_printstar(parse_node *r, parse_node *const *v);
void rdplot_printnum(parse_node *r, parse_node *const *v);
void rdplot_printnum2(parse_node *r, parse_node *const *v);
void rdplot_printfile(parse_node *r, parse_node *const *v);
void rdplot_zoomonly(parse_node *r, parse_node *const *v);
void rdplot_plotzoom(parse_node *r, parse_node *const *v);
void rdplot_plotzoom3(parse_node *r, parse_node *const *v);
void rdplot_plotview(parse_node *r, parse_node *const *v);
void rdplot_fromto1d(parse_node *r, parse_node *const *v);
void rdplot_ploton(parse_node *r, parse_node *const *v);
void rdplot_plotonregionum(parse_node *r, parse_node *const *v);
void rdplot_plotonregioname(parse_node *r, parse_node *const *v);
void rdplot_plotonsurfnum(parse_node *r, parse_node *const *v);
void rdplot_plotonsurfname(parse_node *r, parse_node *const *v);
void rdplot_plotonlayernum(parse_node *r, parse_node *const *v);
void rdplot_plotonlayername(parse_node *r, parse_node *const *v);
void rdplot_plotonsurfeqn(parse_node *r, parse_node *const *v);
void rdplot_plotoneqn(parse_node *r, parse_node *const *v);
void rdplot_pointspec1(parse_node *r, parse_node *const *v);
void rdplot_pointspec2(parse_node *r, parse_node *const *v);
void rdplot_pointspec3(parse_node *r, parse_node *const *v);
void rdplot_plotrange(parse_node *r, parse_node *const *v);
void rdplot_ploterange(parse_node *r, parse_node *const *v);
void rdplot_plotfrange(parse_node *r, parse_node *const *v);
void rdplot_plotefrange(parse_node *r, parse_node *const *v);
void rdplot_pronly(parse_node *r, parse_node *const *v);
void rdplot_startctour(parse_node *r, parse_node *const *v);
void rdplot_startctour2(parse_node *r, parse_node *const *v);
void rdplot_startsurf(parse_node *r, parse_node *const *v);
void rdplot_startgrid(parse_node *r, parse_node *const *v);
void rdplot_startgrid3(parse_node *r, parse_node *const *v);
void rdplot_startvec2(parse_node *r, parse_node *const *v);
void rdplot_startvec1(parse_node *r, parse_node *const *v);
void rdplot_startflow2(parse_node *r, parse_node *const *v);
void rdplot_startsummary(parse_node *r, parse_node *const *v);
void rdplot_labeledsummary(parse_node *r, parse_node *const *v);
void rdplot_startelev(parse_node *r, parse_node *const *v);
void rdplot_nextelev(parse_node *r, parse_node *const *v);
void rdplot_startcdf(parse_node *r, parse_node *const *v);
void rdplot_starttecp(parse_node *r, parse_node *const *v);
void rdplot_starttable(parse_node *r, parse_node *const *v);
void rdplot_starttransfer(parse_node *r, parse_node *const *v);
void rdplot_nextexport(parse_node *r, parse_node *const *v);
void rdplot_fortime(parse_node *r, parse_node *const *v);
void rdplot_fortimet(parse_node *r, parse_node *const *v);
void rdplot_nextime(parse_node *r, parse_node *const *v);
void rdplot_bytime(parse_node *r, parse_node *const *v);
void rdplot_starthists(parse_node *r, parse_node *const *v);
void rdplot_histarg1(parse_node *r, parse_node *const *v);
void rdplot_histarg2(parse_node *r, parse_node *const *v);
void rdplot_histat(parse_node *r, parse_node *const *v);
void rdplot_nextat1(parse_node *r, parse_node *const *v);
void rdplot_nextat2(parse_node *r, parse_node *const *v);
