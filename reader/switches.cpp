// switches: the SELECT switch table with the setting each name sets, the DEBUG and
// PRINT lists and the ALIAS labels.
#include "reader/switches.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "model/metrics.h"
#include "model/switches.h"
#include "plot/styles.h"
#include "domain/domain.h"
#include "elements/finder.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "model/symtab.h"
#include "model/trees.h"
#include "reader/mtokeniz.h"
#include "reader/rdexpr.h"
#include "reader/rdpde.h"
#include "reader/rdtable.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"
#include "model/arys.h"
#include "model/eqns.h"
#include "model/fits.h"
#include "model/params.h"
#include "model/treeclas.h"
#include "model/treesimp.h"
#include "model/treeval.h"

double switches_delaminate = 0;
double switches_leglimit3 = 0;
uint8_t switches_endtime = 0;
uint8_t switches_treelocs = 0;

namespace {

// How a row converts its value.
enum Kind : uint8_t {
  INT16,    // n into a 32-bit setting
  REAL,     // the value itself
  FLAG,     // n != 0
  NOTFLAG,  // n == 0 (a setting held as the opposite of its name)
  TRI,      // n + 1: 1 off, 2 on, 0 the program's choice
  SPECIAL   // the row's own code below
};

struct Row {
  const char *name;
  Kind kind;
  int32_t Switches::*i = nullptr;
  double Switches::*d = nullptr;
  uint8_t Switches::*b = nullptr;
};

// The switch names in table order; the last three are the hidden words, which are
// no switches.
const Row rows[] = {{"NGRID", INT16, &Switches::ngrid},
                    {"NGRIDX", INT16, &Switches::ngridx},
                    {"NGRIDY", INT16, &Switches::ngridy},
                    {"NGRIDZ", INT16, &Switches::ngridz},
                    {"STAGES", SPECIAL},
                    {"ITERATE", INT16, &Switches::iterate},
                    {"NEWTON", INT16, &Switches::newton},
                    {"NRUPDATE", INT16, &Switches::nrupdate},
                    {"LINUPDATE", INT16, &Switches::linupdate},
                    {"TNORM", INT16, &Switches::tnorm},
                    {"AREA_CUTOFF", INT16, &Switches::area_cutoff},
                    {"NODELIMIT", SPECIAL},
                    {"GRIDLIMIT", INT16, &Switches::gridlimit},
                    {"INITGRIDLIMIT", INT16, &Switches::initgridlimit},
                    {"DEADTIME", INT16, &Switches::deadtime},
                    {"CONTOURGRID", INT16, &Switches::contourgrid},
                    {"SURFACEGRID", INT16, &Switches::surfacegrid},
                    {"VECTORGRID", INT16, &Switches::vectorgrid},
                    {"ELEVATIONGRID", INT16, &Switches::elevationgrid},
                    {"EXPORTGRID", INT16, &Switches::exportgrid},
                    {"CDFGRID", INT16, &Switches::cdfgrid},
                    {"COLORCYCLE", INT16, &Switches::colorcycle},
                    {"LOGLIMIT", INT16, &Switches::loglimit},
                    {"ORDER", INT16, &Switches::order},
                    {"TORDER", INT16, &Switches::torder},
                    {"DELAY", SPECIAL},
                    {"MODES", SPECIAL},
                    {"USEVOLJ", SPECIAL},
                    {"CONTOURS", INT16, &Switches::contours},
                    {"FONT", SPECIAL},
                    {"OPTION", INT16, &Switches::option},
                    {"SUBSPACE", SPECIAL},
                    {"FINDERBINS", INT16, &Switches::finderbins},
                    {"BANDLU", SPECIAL},
                    // Reals.
                    {"ASPECT", REAL, nullptr, &Switches::aspect},
                    {"CHANGECLAMP", REAL, nullptr, &Switches::changeclamp},
                    {"CHANGELIM", REAL, nullptr, &Switches::changelim},
                    {"COERSCE", REAL, nullptr, &Switches::coersce},
                    {"CONTROL2", REAL, nullptr, &Switches::control2},
                    {"CSCALE", REAL, nullptr, &Switches::cscale},
                    {"DEADSHARE", SPECIAL},
                    {"DELAMINATE", SPECIAL},
                    {"DELTAT", REAL, nullptr, &Switches::deltat},
                    {"ENDTIME", SPECIAL},
                    {"ERRFAC", REAL, nullptr, &Switches::errfac},
                    {"EXTRAP", REAL, nullptr, &Switches::extrap},
                    {"GRIDARC", REAL, nullptr, &Switches::gridarc},
                    {"GROFAC", SPECIAL},
                    {"HYSTERESIS", REAL, nullptr, &Switches::hysteresis},
                    {"LEGLIMIT3", SPECIAL},
                    {"MERGERR", REAL, nullptr, &Switches::mergerr},
                    {"MINNLSTEP", REAL, nullptr, &Switches::minnlstep},
                    {"NLSLOPE1", REAL, nullptr, &Switches::nlslope1},
                    {"NLSLOPE2", REAL, nullptr, &Switches::nlslope2},
                    {"OVERSHOOT", REAL, nullptr, &Switches::overshoot},
                    {"OVERSPLIT", REAL, nullptr, &Switches::oversplit},
                    {"SENSITIVITY", REAL, nullptr, &Switches::sensitivity},
                    {"STARTTIME", REAL, nullptr, &Switches::starttime_value},
                    {"STEEPNESS", REAL, nullptr, &Switches::steepness},
                    {"TCENTER", REAL, nullptr, &Switches::tcenter},
                    {"TEXTSIZE", SPECIAL},
                    {"TGROWTH", REAL, nullptr, &Switches::tgrowth},
                    {"UPFACTOR", REAL, nullptr, &Switches::upfactor},
                    // Flags.
                    {"AUTOHIST", FLAG, nullptr, nullptr, &Switches::autohist},
                    {"AUTOSTAGE", FLAG, nullptr, nullptr, &Switches::autostage},
                    {"BUSYMON", FLAG, nullptr, nullptr, &Switches::busymon},
                    {"CDFDOUBLE", FLAG, nullptr, nullptr, &Switches::cdfdouble},
                    {"CDFEXTEND", FLAG, nullptr, nullptr, &Switches::cdfextend},
                    {"CSE", FLAG, nullptr, nullptr, &Switches::cse},
                    {"CURVEGRID", FLAG, nullptr, nullptr, &Switches::curvegrid},
                    {"CURVEALL", FLAG, nullptr, nullptr, &Switches::curveall},
                    {"DENSE", FLAG, nullptr, nullptr, &Switches::dense},
                    {"DRAWTEXT", SPECIAL},
                    {"EISPACK", FLAG, nullptr, nullptr, &Switches::eispack},
                    {"FILLIN", FLAG, nullptr, nullptr, &Switches::fillin},
                    {"FIRSTPARTS", FLAG, nullptr, nullptr, &Switches::firstparts},
                    {"FIXDT", FLAG, nullptr, nullptr, &Switches::fixdt},
                    {"FULLERR", FLAG, nullptr, nullptr, &Switches::fullerr},
                    {"HARDMONITOR", FLAG, nullptr, nullptr, &Switches::hardmonitor},
                    {"ROOTERR", FLAG, nullptr, nullptr, &Switches::rooterr},
                    {"MERGE", FLAG, nullptr, nullptr, &Switches::merge},
                    {"MOVING", FLAG, nullptr, nullptr, &Switches::moving},
                    {"NBCMEASURE", FLAG, nullptr, nullptr, &Switches::nbcmeasure},
                    {"NOMINMAX", FLAG, nullptr, nullptr, &Switches::nominmax},
                    {"NONLINEAR", FLAG, nullptr, nullptr, &Switches::nonlinear},
                    {"NONSYMMETRIC", NOTFLAG, nullptr, nullptr, &Switches::symmetric},
                    {"NOTIFY_DONE", FLAG, nullptr, nullptr, &Switches::notifydone},
                    {"NOTIPS", FLAG, nullptr, nullptr, &Switches::notips},
                    {"PAINTED", FLAG, nullptr, nullptr, &Switches::painted},
                    {"PAINTGRID", FLAG, nullptr, nullptr, &Switches::paintgrid},
                    {"PAINTMATERIALS", NOTFLAG, nullptr, nullptr, &Switches::paintregions},
                    {"PAINTREGIONS", FLAG, nullptr, nullptr, &Switches::paintregions},
                    {"PAUSEPLOTS", FLAG, nullptr, nullptr, &Switches::pauseplots},
                    {"PLANKING", FLAG, nullptr, nullptr, &Switches::planking},
                    {"PLOTINTEGRATE", FLAG, nullptr, nullptr, &Switches::plotintegrate},
                    {"PLOTMESHUPDATE", FLAG, nullptr, nullptr, &Switches::plotmeshupdate},
                    {"PRINTMERGE", FLAG, nullptr, nullptr, &Switches::printmerge},
                    {"QUANTIZE", FLAG, nullptr, nullptr, &Switches::quantize},
                    {"REGRID", FLAG, nullptr, nullptr, &Switches::regrid},
                    {"REORDER", FLAG, nullptr, nullptr, &Switches::reorder},
                    {"ROLLTABLE", FLAG, nullptr, nullptr, &Switches::rolltable},
                    {"SCALING", FLAG, nullptr, nullptr, &Switches::scaling},
                    {"SMOOTHINIT", FLAG, nullptr, nullptr, &Switches::smoothinit},
                    {"STAGEGRID", FLAG, nullptr, nullptr, &Switches::stagegrid},
                    {"STATUSGRID", FLAG, nullptr, nullptr, &Switches::statusgrid},
                    {"SURFPLOTS", FLAG, nullptr, nullptr, &Switches::surfplots},
                    {"SYMSCALE", FLAG, nullptr, nullptr, &Switches::symscale},
                    {"THERMAL_COLORS", FLAG, nullptr, nullptr, &Switches::thermal_colors},
                    {"TRIGINIT", FLAG, nullptr, nullptr, &Switches::triginit},
                    {"UPWIND", FLAG, nullptr, nullptr, &Switches::upwind},
                    {"V216INTEGRAL", SPECIAL},
                    // Tri-states.
                    {"ATAPRECON", TRI, nullptr, nullptr, &Switches::ataprecon},
                    {"BIPRECON", TRI, nullptr, nullptr, &Switches::biprecon},
                    {"DIPRECON", TRI, nullptr, nullptr, &Switches::diprecon},
                    {"ICCG", TRI, nullptr, nullptr, &Switches::iccg},
                    {"FILL_LU", TRI, nullptr, nullptr, &Switches::fill_lu},
                    {"FORCEGRID", TRI, nullptr, nullptr, &Switches::forcegrid},
                    {"LANCZOS", TRI, nullptr, nullptr, &Switches::lanczos},
                    {"PRECONDITION", TRI, nullptr, nullptr, &Switches::precondition},
                    {"VANDENBERG", TRI, nullptr, nullptr, &Switches::vandenberg},
                    {"CURVATURE_ERROR", TRI, nullptr, nullptr, &Switches::curvature_error},
                    {"GALERKIN_ERROR", TRI, nullptr, nullptr, &Switches::galerkin_error},
                    {"CENTER_ERROR", TRI, nullptr, nullptr, &Switches::center_error},
                    // Words and the rest.
                    {"CUBIC", SPECIAL},
                    {"QUADRATIC", SPECIAL},
                    {"SIMPLEX", SPECIAL},
                    {"RGSTEREO", SPECIAL},
                    {"XSTEREO", SPECIAL},
                    {"MONO", SPECIAL},
                    {"GRAY", SPECIAL},
                    {"BLACK", SPECIAL},
                    {"EMF", SPECIAL},
                    {"WMF", SPECIAL},
                    {"OVERLAY", SPECIAL},
                    {"HEX", SPECIAL},
                    // The hidden words.
                    {"LAMBDA", SPECIAL},
                    {"MODE", SPECIAL},
                    {"VOLJ", SPECIAL}};
static_assert(sizeof rows / sizeof rows[0] == 138);
constexpr int HIDDEN = 135;  // the rows from here on are no switches

// The DEBUG names; each sets the problem's byte flag (null: none) and the
// program-wide flags listed.
struct DebugRow {
  const char *name;
  uint8_t Switches::*flag;
};
const DebugRow debug_rows[] = {{"BUILDEQ", &Switches::dbg_buildeq},
                               {"COUPLING", &Switches::dbg_coupling},
                               {"DOMAIN", &Switches::dbg_domain},
                               {"EDGES", &Switches::dbg_edges},
                               {"FEAT", &Switches::dbg_feat},
                               {"FINDER", &Switches::dbg_finder},
                               {"FITTING", &Switches::dbg_fitting},
                               {"FORMULAS", &Switches::dbg_formulas},
                               {"GRID", &Switches::dbg_grid},
                               {"INIT", &Switches::dbg_init},
                               {"LOADING", &Switches::dbg_loading},
                               {"MAP", &Switches::dbg_map},
                               {"MEASURE", &Switches::dbg_measure},
                               {"MODES", &Switches::dbg_modes},
                               {"PLOT", &Switches::dbg_plot},
                               {"READ", &Switches::dbg_read},
                               {"REFINE", &Switches::dbg_refine},
                               {"SOLVE", &Switches::dbg_solve},
                               {"SPARSECG", &Switches::dbg_sparsecg},
                               {"SPARSEMX", &Switches::dbg_sparsemx},
                               {"SYMTAB", &Switches::dbg_symtab},
                               {"TEXTIN", nullptr},
                               {"TIMEDEP", &Switches::dbg_timedep},
                               {"TRANSFER", nullptr},
                               {"TREECLAS", &Switches::dbg_treeclas},
                               {"TREEDIF", &Switches::dbg_treedif},
                               {"TREELOCS", nullptr},
                               {"TREEMODS", &Switches::dbg_treemods},
                               {"TREES", &Switches::dbg_trees},
                               {"TREESIMP", &Switches::dbg_treesimp},
                               {"TREEVAL", &Switches::dbg_treeval},
                               {"XFER", nullptr}};
static_assert(sizeof debug_rows / sizeof debug_rows[0] == 32);

const String *switch_name_of(const parse_node *n, const char *what) {
  if (!n->id) rtlib_fatal_in("switches", what);
  return &n->id->name;
}

[[noreturn]] void switch_fail(const TextLoc *loc, const char *message) {
  String m{uint16_t(strlen(message)), uint16_t(strlen(message)), const_cast<char *>(message)};
  report_parse_err_0(rdpde_problem, loc, &m);
}

// The values a switch may take, lo .. hi (of the value cut toward zero), checked
// before it is converted; a switch not listed takes any value.
struct Range {
  const char *name;
  int64_t lo, hi;
};
const Range ranges[] = {
    // A grid over an area holds at most 2048 x 2048 points, as POINTS does; EXPORTGRID
    // 0 leaves an export its default.
    {"ORDER", 1, 3},         {"CONTOURGRID", 2, 2048},    {"SURFACEGRID", 2, 2048},
    {"VECTORGRID", 2, 2048}, {"ELEVATIONGRID", 2, 32767}, {"CDFGRID", 2, 2048},
    {"EXPORTGRID", 0, 2048}, {"GRIDLIMIT", 0, 32767},     {"INITGRIDLIMIT", 0, 32767},
    {"STAGES", 0, 32767},    {"MODES", 0, 32767},         {"NODELIMIT", 1, INT64_MAX},
    {"SUBSPACE", 0, 32767},
};

// A value outside its range: "NAME must be LO to HI" at the name.
[[noreturn]] void out_of_range(const TextLoc *loc, const char *name, const char *range) {
  static std::string text;  // the report does not return: the text lives on
  text = std::string(name) + " must be " + range;
  switch_fail(loc, text.c_str());
}

void check_range(const parse_node *n, const char *name, double value) {
  for (const Range &r : ranges) {
    if (strcmp(r.name, name) != 0) continue;
    int64_t k = switches_cut(value);
    if (!std::isnan(value) && k >= r.lo && (k <= r.hi || r.hi == INT64_MAX)) return;
    std::string range = r.hi == INT64_MAX ? "at least " + std::to_string(r.lo)
                                          : std::to_string(r.lo) + " to " + std::to_string(r.hi);
    out_of_range(&n->loc, name, range.c_str());
  }
}

void enable(const char *word) {
  String s = {};
  strings_copyto_1(&s, word);
  rdpde_enable_name(&s);
  strings_free_0(&s);
}

// Sets the switch named by n to value.
void selectlist(const parse_node *n, double value) {
  TRACE("selectlist");
  const select_target t = rdpde_select_target();
  Switches *p = t.switches;
  const String *name = switch_name_of(n, "BAD SELECT");
  const int16_t v = switches_value16(value);
  int k = 0;
  while (k < HIDDEN && strcmp(rows[k].name, name->text) != 0) k++;
  if (k == HIDDEN) {
    debug_printf("BAD SELECT: %s\n", name->text);
    switch_fail(&n->loc, "Undefined SELECTOR");
  }
  check_range(n, name->text, value);
  const Row &row = rows[k];
  switch (row.kind) {
    case INT16: p->*row.i = v; return;
    case REAL: p->*row.d = value; return;
    case FLAG: p->*row.b = v != 0; return;
    case NOTFLAG: p->*row.b = v == 0; return;
    case TRI: p->*row.b = uint8_t(v + 1); return;
    case SPECIAL: break;
  }
  const std::string_view s = row.name;
  if (s == "STAGES") {
    // A STAGED list read before must hold a value for each stage.
    uint16_t shortest = rdexpr_shortest_staged();
    if (shortest && shortest < v) {
      static std::string text;  // the report does not return: the text lives on
      text = "NOT ENOUGH STAGE VALUES: " + std::to_string(shortest) + " given, STAGES = " + std::to_string(v);
      switch_fail(&n->loc, text.c_str());
    }
    *t.stages = uint16_t(v);
  } else if (s == "NODELIMIT") {
    // Only lowers the limit; compared in 32 bits, not cut to 16.
    int32_t limit = int32_t(uint32_t(uint64_t(switches_cut(value))));
    if (limit < p->nodelimit) p->nodelimit = limit;
  } else if (s == "DELAY") p->delay = uint8_t(v);
  else if (s == "MODES") {
    // An explicit subspace holds at least the modes asked for.
    if (p->select_subspace > 0 && v > p->select_subspace) {
      std::string range = "at least MODES (" + std::to_string(v) + ") or 0, not " + std::to_string(p->select_subspace);
      out_of_range(&n->loc, "SUBSPACE", range.c_str());
    }
    *t.modes = uint16_t(v);
    *t.modesloc = n->loc;
    p->eigen = v > 0;
    enable("LAMBDA");
  } else if (s == "USEVOLJ") enable("VOLJ");
  else if (s == "SUBSPACE") {
    if (v > 0 && v < *t.modes) {
      std::string range = "0 or MODES (" + std::to_string(*t.modes) + ") to 32767";
      out_of_range(&n->loc, "SUBSPACE", range.c_str());
    }
    p->select_subspace = v;
  } else if (s == "FONT") {
    // Only the fonts there are: a number past them is the user's, not the library's fault.
    int highest = gag_font_highest();
    int64_t f = switches_cut(value);
    if (std::isnan(value) || f < 0 || f > highest)
      out_of_range(&n->loc, "FONT", ("0 to " + std::to_string(highest)).c_str());
    styles_set_font(t.window, v);
  } else if (s == "BANDLU") {
    if (v >= 1) {
      p->dense = 1;
      p->bandlu = v == 1 ? 10 : v;
    }
  } else if (s == "DEADSHARE") p->deadshare = float(value);
  else if (s == "DELAMINATE") switches_delaminate = value;
  else if (s == "ENDTIME") {
    p->endtime = value;
    switches_endtime = 1;
  } else if (s == "GROFAC") {
    if (t.domain) t.domain->grofac = value;
  } else if (s == "LEGLIMIT3") switches_leglimit3 = value;
  else if (s == "TEXTSIZE") styles_set_textsize(t.window, float(value), float(1.2 * value));
  else if (s == "DRAWTEXT") gag_drawtextswitch = v != 0;
  else if (s == "CUBIC") p->order = 3;
  else if (s == "QUADRATIC") p->order = 2;
  else if (s == "SIMPLEX") p->order = 1;
  else if (s == "RGSTEREO") p->stereo = 9;
  else if (s == "XSTEREO") p->stereo = 10;
  else if (s == "MONO" || s == "GRAY") gagscren_gray_colors();
  else if (s == "BLACK") p->printcolour = v != 0 ? 2 : 0;
  else if (s == "EMF") p->metafile = 0;
  else if (s == "WMF") p->metafile = 1;
  else if (s == "OVERLAY") p->overlay = 1;
  else if (s == "HEX") p->hex = 1;
  else if (s == "V216INTEGRAL") {
    // Integrals of the two-dimensional cylinders then leave out the angular factor.
    p->v216integral = v != 0;
    t.coords->angular = v != 0 ? 1.0 : *t.angle;
  }
}

// An error limit that folds to a constant must be above 0.
void check_errlim(const parse_node *name, double value) {
  if (!(value > 0)) out_of_range(&name->loc, "ERRLIM", "above 0");
}

// Sets the debug flag named by n to value.
void dbsetter(const parse_node *n, uint8_t value) {
  TRACE("dbsetter");
  Switches *p = rdpde_select_target().switches;
  const String *name = switch_name_of(n, "BAD DEBUG");
  int k = 0;
  while (k < 32 && strcmp(debug_rows[k].name, name->text) != 0) k++;
  if (k == 32) {
    debug_printf("BAD DEBUG: %s\n", name->text);
    switch_fail(&n->loc, "BAD DEBUG FLAG");
  }
  if (debug_rows[k].flag) p->*debug_rows[k].flag = value;
  const std::string_view s = debug_rows[k].name;
  if (s == "SYMTAB") symtab_debug = value;
  else if (s == "TREES") trees_debug = value;
  else if (s == "TREEVAL") treeval_debug = value;
  else if (s == "TREECLAS") treeclas_debug = value;
  else if (s == "TREESIMP") treesimp_debug = value;
  else if (s == "READ") rdexpr_debug = value;
  else if (s == "DOMAIN") domain_debug = value;
  else if (s == "EDGES") edges_debug = value;
  else if (s == "FINDER") finder_debug = value;
  else if (s == "FITTING") fits_debug = arys_debug = value;
  else if (s == "FORMULAS") params_debug = eqns_debug = value;
  else if (s == "TEXTIN") mtokeniz_debug = value;
  else if (s == "TREELOCS") switches_treelocs = value;
  else if (s == "TRANSFER" || s == "XFER") rdtable_debug = value;
}

bool is_errlim(const parse_node *n) { return n->id && strcmp(n->id->name.text, "ERRLIM") == 0; }

}  // namespace

int64_t switches_cut(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return INT64_MAX;
  if (value <= -9223372036854775808.0) return INT64_MIN;
  return int64_t(value);
}

int16_t switches_value16(double value) { return int16_t(uint16_t(uint64_t(switches_cut(value)))); }

void switches_selector(parse_node *, parse_node *const *v) { selectlist(v[2], 1.0); }

void switches_selectval(parse_node *r, parse_node *const *v) {
  TRACE("switches_selectval");
  if (is_errlim(v[2])) {
    double limit = 0;
    if (rdexpr_constant_value(v[4], &limit)) check_errlim(v[2], limit);
    rdexpr_redefine(r, v + 1);  // name, "=", expression as a definition
    return;
  }
  selectlist(v[2], rdexpr_constize(v[4]));
}

void switches_selectlit(parse_node *r, parse_node *const *v) {
  TRACE("switches_selectlit");
  if (is_errlim(v[2])) {
    check_errlim(v[2], v[3]->value.real);
    parse_node *w[4] = {r, v[2], v[3], v[3]};
    v[3]->tree = trees_new_real_1(v[3]->value.real, &v[3]->loc);
    rdexpr_redefine(r, w);
    return;
  }
  selectlist(v[2], v[3]->value.real);
}

void switches_selectdt(parse_node *, parse_node *const *v) {
  rdpde_select_target().switches->deltat = rdexpr_constize(v[4]);
}

void switches_selectalias(parse_node *, parse_node *const *v) {
  TRACE("switches_selectalias");
  static const char axes[4][2] = {"X", "Y", "Z", "T"};
  const String *name = switch_name_of(v[4], "BAD SELECT");
  for (int k = 0; k < 4; k++) {
    if (strcmp(name->text, axes[k]) != 0) continue;
    String &label = rdpde_select_target().axisname[k];
    strings_free_0(&label);
    label = v[6]->value.string;  // moved: the value is left empty
    v[6]->value.string = {};
  }
}

void switches_setdebug(parse_node *, parse_node *const *v) { dbsetter(v[2], 1); }
void switches_setdebugint(parse_node *, parse_node *const *v) { dbsetter(v[2], uint8_t(v[4]->value.integer)); }
void switches_setdbgrid(parse_node *, parse_node *const *) { rdpde_select_target().switches->dbg_grid = 1; }
void switches_setdbgridint(parse_node *, parse_node *const *v) {
  rdpde_select_target().switches->dbg_grid = uint8_t(v[4]->value.integer);
}

void switches_setprint(parse_node *, parse_node *const *v) {
  const String *name = switch_name_of(v[2], "BAD PRINT");
  if (strcmp(name->text, "MATRIX") == 0) rdpde_select_target().switches->printmatrix = 1;
  else debug_printf("BAD PRINT: %s\n", name->text);
}

void switches_setpgrid(parse_node *, parse_node *const *) { rdpde_select_target().switches->printgrid = 1; }

int switches_init() {
  TRACE("switches");
  return 0;
}
