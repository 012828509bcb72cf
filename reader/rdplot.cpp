// rdplot: the MONITORS, PLOTS and HISTORIES actions. Each entry's header makes a plot
// record and its plot data, the modifiers change the current pair, and the entry's end
// shares the plot data with an equal earlier one. The current records are held by
// number, since a later entry may move the vectors.
#include "reader/rdplot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "model/pdedat_record.h"
#include "plot/plot.h"
#include "runtime/bounding.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "model/treemods.h"
#include "model/treesimp.h"
#include "reader/rdexpr.h"
#include "reader/rdpde.h"
#include "runtime/owner.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

namespace {

uint8_t section = 0;     // 1 MONITORS, 2 PLOTS or HISTORIES, 0 neither yet
uint16_t current_plot = 0;  // the plot record being read, 0 none
uint16_t cdata = 0;      // its plot data
uint16_t ctime = 0;      // the time selection in force, 0 none
TextLoc header = {};     // where the ELEVATION, HISTORY or export being read begins

pde *plot_problem() { return rdpde_problem; }
plotrec &R() { return plot_problem()->plotrecs.data[current_plot - 1]; }
plotdata &plot_data() { return plot_problem()->plotdatas.data[cdata - 1]; }
Domain &dom() { return *plot_problem()->mesh.domain; }

[[noreturn]] void plot_err(const TextLoc *loc, const char *message) {
  String m{uint16_t(strlen(message)), uint16_t(strlen(message)), const_cast<char *>(message)};
  report_parse_err_0(plot_problem(), loc, &m);
}

void set(uint32_t bit) { R().flags |= plot_bit(int(bit)); }
void clear(uint32_t bit) { R().flags &= ~plot_bit(int(bit)); }
bool is_elevation_or_history() { return R().kind == PLOT_ELEVATION || R().kind == PLOT_HISTORY; }

// A count: the folded value cut toward zero and held to 0 .. 65535 (not a number: 0).
uint16_t count_of(parse_node *n) {
  double x = rdexpr_constize(n);
  if (!(x > 0)) return 0;
  return x >= 65535 ? 65535 : uint16_t(x);
}

// A count of points along a side: 2 to 65535, else a located error naming the range.
uint16_t points_of(parse_node *n, const char *word) {
  double x = rdexpr_constize(n);
  if (!(x >= 2 && x < 65536)) {
    static std::string text;  // the report does not return: the text lives on
    text = std::string(word) + " must be 2 to 65535";
    plot_err(&n->loc, text.c_str());
  }
  return uint16_t(x);
}

int32_t mode_count() { return plot_problem()->modes ? plot_problem()->modes : 1; }

// The place where a word ends at loc begins (the word's own length back on its line).
TextLoc start_of(const parse_node *n, const char *word) {
  TextLoc s = n->loc;
  size_t len = strlen(word);
  s.column = uint16_t(s.column > len ? s.column - len : 1);
  return s;
}

// The text between two places, without the blanks around it.
void text_between(String *d, const TextLoc *from, const TextLoc *to) {
  textin_extract_0(d, from, to);
  uint16_t a = 0, b = d->length;
  while (a < b && d->text[a] == ' ') a++;
  while (b > a && d->text[b - 1] == ' ') b--;
  if (a > 0) memmove(d->text, d->text + a, b - a);
  if (d->text) d->text[b - a] = 0;
  d->length = uint16_t(b - a);
}

void add_caption(const TextLoc *from, const TextLoc *to) {
  String s = {};
  text_between(&s, from, to);
  strings_one_more(&R().titles, &s);
  strings_free_0(&s);
}

void add_caption_text(const char *head, const String *name) {
  String s = {};
  strings_copyto_1(&s, head);
  strings_addto_0(&s, name);
  strings_one_more(&R().titles, &s);
  strings_free_0(&s);
}

// The string of a <string> node moved out, or an identifier's own characters.
String take_text(parse_node *n) {
  String s = {};
  if (n->token == SYM_STRING) {
    s = n->value.string;
    n->value.string = {};
  } else if (n->id) {
    strings_copyto_0(&s, &n->id->name);
  }
  return s;
}

// The tree of n, now owned by the caller.
TreeNode *plot_take(parse_node *r, parse_node *n) {
  TreeNode *t = n->tree;
  n->tree = nullptr;
  if (r->tree == t) r->tree = nullptr;
  return t;
}

// A report or plot name: trailing blanks dropped, then one pair of parentheses that
// encloses the whole text.
void repstr(String *s) {
  uint16_t n = s->length;
  while (n > 0 && s->text[n - 1] == ' ') n--;
  if (n >= 2 && s->text[0] == '(' && s->text[n - 1] == ')') {
    int depth = 0;
    bool whole = true;
    for (uint16_t k = 0; k < n; k++) {
      depth += s->text[k] == '(' ? 1 : s->text[k] == ')' ? -1 : 0;
      if (depth == 0 && k < n - 1) whole = false;
    }
    if (whole) {
      memmove(s->text, s->text + 1, n - 2);
      n -= 2;
    }
  }
  if (s->text) s->text[n] = 0;
  s->length = n;
}

// ---- Records -----------------------------------------------------------------------------------

void new_timerec() {
  pde *p = plot_problem();
  ctime = plot_one_more_2(&p->timerecs);
  p->timerecs.data[ctime - 1].monitor = section == 1;
}

void new_plotrec(int32_t kind, int32_t points, const TextLoc *place, uint8_t painted, uint8_t fill) {
  pde *p = plot_problem();
  current_plot = plot_one_more_1(&p->plotrecs);
  plotrec &r = R();
  r.kind = kind;
  r.number = current_plot;
  r.flags = 0;
  if (p->notips) set(12);
  if (painted) set(13);
  if (p->printmerge) set(20);
  if (p->nominmax) set(23);
  r.problem = p;
  r.decades = uint16_t(std::clamp<int32_t>(p->loglimit, 0, 65535));
  cdata = plot_one_more_0(&p->plotdatas);
  plotdata &d = plot_data();
  d.fill = fill;
  d.created = 1;
  d.points[0] = uint16_t(std::clamp<int32_t>(points, 0, 65535));
  vectorn *list = section == 1 ? &p->monitors
                  : section == 0 ? &p->otherplots
                  : kind >= PLOT_CDF ? &p->exports : &p->plots;
  if (section == 1) set(6);
  R().listindex = uint16_t(vectorn_one_more(list, current_plot));
  if (kind == PLOT_HISTORY) vectorn_one_more(&p->histories, current_plot);
  if (p->timedep) {
    if (!ctime) plot_err(place, "No Plot Time Specified");
    vectorn_one_more(&p->timerecs.data[ctime - 1].plots, current_plot);
  }
}

// An expression of the entry: its tree, and its source text (between the places) as
// its label.
void add_expression(parse_node *r, parse_node *expr, const TextLoc *from, const TextLoc *to) {
  trees_one_more(&R().exprs, plot_take(r, expr));
  String s = {};
  text_between(&s, from, to);
  strings_one_more(&R().labels, &s);
  strings_free_0(&s);
}

// The first expression, with the entry's text from the header word through last as
// caption 1.
void start_plotlist(parse_node *r, parse_node *header, const char *word, parse_node *expr, const TextLoc *last,
                    const TextLoc *exprfrom, const TextLoc *exprto) {
  TextLoc from = start_of(header, word);
  add_caption(&from, last);
  add_expression(r, expr, exprfrom, exprto);
}

// A further expression after the comma node; the lookahead that ended it was read.
void next_expression(parse_node *r, parse_node *comma, parse_node *expr) {
  add_expression(r, expr, &comma->loc, &rdpde_prevend);
}

// Integration bits of CONTOUR, SURFACE and ELEVATION from SELECT.
void auto_integrate() {
  if (!plot_problem()->plotintegrate) return;
  set(4);
  if (!plot_problem()->v216integral) set(22);
}

// Per-mode payloads.
void size_values(int32_t n, int32_t levels) {
  vector3d_new(&R().values, n, n);
  vector2d_new(&R().integrals, n, n);
  for (int32_t k = 0; k < n; k++) vectord_new(&R().integrals.data[k], levels, levels);
}
void size_lines(int32_t each) {
  int32_t m = mode_count();
  vector4d_new(&R().lines, m, m);
  for (int32_t k = 0; k < m; k++) vector3d_new(&R().lines.data[k], each, each);
}

// A contour, surface, grid, vector or streamline header: v[1] the word, v[3] the first
// expression, v[last] the closing bracket.
void start_2d(parse_node *r, parse_node *const *v, const char *word, int32_t kind, int32_t points, uint8_t painted,
              uint8_t fill, int last) {
  new_plotrec(kind, points, &v[1]->loc, painted, fill);
  TextLoc to = start_of(v[4], ",");
  start_plotlist(r, v[1], word, v[3], &v[last]->loc, &v[2]->loc, &to);
  for (int k = 5; k < last; k += 2) {
    to = start_of(v[k + 1], ",");
    add_expression(r, v[k], &v[k - 1]->loc, &to);
  }
}

void start_grid(parse_node *r, parse_node *const *v, int32_t kind, int32_t points, int last) {
  pde *p = plot_problem();
  start_2d(r, v, "GRID", kind, points, p->paintgrid, 0, last);
  plot_data().grid = 1;
  if (p->paintregions) {
    plot_data().paintregions = 1;
    set(24);
  }
}

// An entry whose argument list is closed later (ELEVATION, HISTORY, the exports): its
// first expression, and where its header begins for the caption taken at the bracket.
void start_open_list(parse_node *r, parse_node *const *v, const char *word) {
  start_plotlist(r, v[1], word, v[3], &rdpde_prevend, &v[2]->loc, &rdpde_prevend);
  header = start_of(v[1], word);
}

void start_export(parse_node *r, parse_node *const *v, const char *word, int32_t kind, int32_t points) {
  new_plotrec(kind, points, &v[1]->loc, 0, 0);
  start_open_list(r, v, word);
}

// Caption 1 of such an entry: its text from the header word through the closing bracket.
void caption_through(const TextLoc *bracket) {
  String s = {};
  text_between(&s, &header, bracket);
  strings_copyto_0(&R().titles.items[0], &s);
  strings_free_0(&s);
}

// The domain's box; false while the boundaries are not read.
bool domain_box(rect3d *b) {
  *b = dom().grid.box;
  return b->x1 <= b->x2 && b->y1 <= b->y2;
}

// The line-plot geometry from p to q.
void fromtopoints(const double *p, const double *q, const TextLoc *at) {
  plotdata &d = plot_data();
  d.line = 1;
  double a[3], b[3];
  bounding_in_grid_2(a, &dom().grid, p);
  bounding_in_grid_2(b, &dom().grid, q);
  double dir[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  // Taken without squaring, which would overflow for ends past 1e154.
  double len = std::hypot(dir[0], dir[1], dir[2]);
  if (!(len > 0)) plot_err(at, "NULL Plot Axis");
  for (double &c : dir) c /= len;
  memcpy(d.lineends, a, sizeof a);
  memcpy(d.lineends + 3, b, sizeof b);
  memcpy(d.direction, dir, sizeof dir);
  d.linelength = len;
  d.lineaxis = 0;
  for (int k = 0; k < 3; k++)
    if (std::fabs(dir[k]) > 0.95) d.lineaxis = k + 1;
  // A plane that holds the line: in two dimensions the one normal to the plot plane's
  // line; in three the direction crossed with the axis of its smallest component.
  double n[3];
  if (!dom().threed) {
    n[0] = dir[1], n[1] = -dir[0], n[2] = 0;
  } else {
    int s = 0;
    for (int k = 1; k < 3; k++)
      if (std::fabs(dir[k]) < std::fabs(dir[s])) s = k;
    double e[3] = {0, 0, 0};
    e[s] = 1;
    n[0] = dir[1] * e[2] - dir[2] * e[1];
    n[1] = dir[2] * e[0] - dir[0] * e[2];
    n[2] = dir[0] * e[1] - dir[1] * e[0];
    double m = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double &c : n) c /= m;
  }
  memcpy(d.lineplane, n, sizeof n);
  d.lineplane[3] = -(n[0] * a[0] + n[1] * a[1] + n[2] * a[2]);
  d.linecross[0] = dir[1] * n[2] - dir[2] * n[1];
  d.linecross[1] = dir[2] * n[0] - dir[0] * n[2];
  d.linecross[2] = dir[0] * n[1] - dir[1] * n[0];
}

// A cut plane through e1 = e2 (the trees of the two nodes), reported at at.
void cut_plane(parse_node *r, parse_node *e1, parse_node *e2, const TextLoc *at) {
  // at: the clause's ON
  pde *p = plot_problem();
  TreeNode *t = trees_new_1(op::subop, at);
  t->arity = 2;
  t->child[0] = plot_take(r, e1);
  t->child[1] = plot_take(r, e2);
  t = treemods_copy_params(p, t, rdexpr_region, 0);
  uint8_t changed = 0;
  t = treesimp_simplify(t, rdexpr_region, &changed);
  double c[4] = {0, 0, 0, 0};
  {
    auto release = owner_guard([t] { trees_free_0(t); });  // also when the tree is no plane
    treemods_planarize(&c[0], &c[1], &c[2], &c[3], t, 1.0);
  }
  double len = std::hypot(c[0], c[1], c[2]);
  if (!(len > 0) || !std::isfinite(len)) plot_err(at, "NULL Plot Axis");
  for (double &x : c) x /= len;
  // Through the grid point nearest below -d (a, b, c).
  double foot[3] = {-c[3] * c[0], -c[3] * c[1], -c[3] * c[2]}, g[3];
  bounding_in_grid_2(g, &dom().grid, foot);
  c[3] = -(c[0] * g[0] + c[1] * g[1] + c[2] * g[2]);
  plotdata &d = plot_data();
  if (std::fabs(c[0]) >= std::fabs(c[1]) && std::fabs(c[0]) >= std::fabs(c[2])) {
    d.planeaxis = 1;
  } else if (std::fabs(c[2]) >= std::fabs(c[1])) {
    d.planeaxis = 3;
  } else {
    d.planeaxis = 2;
    for (double &x : c) x = -x;
  }
  memcpy(d.plane, c, sizeof c);
  // Two unit vectors in the plane: the first across the cut axis, the second normal to
  // it and the plane's normal; the map back is the 3 x 2 matrix of the two as columns.
  double e[3] = {0, 0, 0};
  e[d.planeaxis == 1 ? 1 : 0] = 1;
  double u[3] = {e[0] - c[0] * (c[0] * e[0] + c[1] * e[1] + c[2] * e[2]),
                 e[1] - c[1] * (c[0] * e[0] + c[1] * e[1] + c[2] * e[2]),
                 e[2] - c[2] * (c[0] * e[0] + c[1] * e[1] + c[2] * e[2])};
  double m = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
  for (double &x : u) x /= m;
  double w[3] = {c[1] * u[2] - c[2] * u[1], c[2] * u[0] - c[0] * u[2], c[0] * u[1] - c[1] * u[0]};
  memcpy(d.inplane, u, sizeof u);
  memcpy(d.inplane + 3, w, sizeof w);
  for (int k = 0; k < 3; k++) d.inplane[6 + 2 * k] = u[k], d.inplane[7 + 2 * k] = w[k];
  d.cut = 1;
  d.created = 0;
}

// ON SURFACE and ON LAYER need a three-dimensional domain and an entry that is no
// elevation.
void check_3d_selector(const TextLoc *at) {
  if (R().kind == PLOT_ELEVATION || !dom().threed) plot_err(at, "Illegal PLOT Qualifier");
}

// A region, surface or layer number held to its table.
uint16_t selector_number(parse_node *n, uint16_t count, const char *message) {
  double x = n->tree ? rdexpr_constize(n) : double(n->value.integer);
  if (!(x >= 1 && x <= count)) plot_err(&n->loc, message);
  return uint16_t(x);
}

void plot_range(parse_node *r, parse_node *lo, parse_node *hi, bool fixed) {
  for (TreeNode *&t : R().range) t = trees_free_0(t);
  R().range[0] = plot_take(r, lo);
  R().range[1] = plot_take(r, hi);
  if (fixed) set(8);
}

// The texts of an entry's REPORTs are joined, each with its value, into one line of at
// most 65535 characters; a report that would pass that, with room for the values and
// the line's other parts, is refused at its REPORT.
void plot_report(String *name, TreeNode *tree, const TextLoc *at) {
  repstr(name);
  constexpr size_t kValueRoom = 24, kLineRoom = 1024, kLineMost = 65535;
  size_t total = kLineRoom + name->length + kValueRoom;
  const StringList &names = R().reportnames;
  for (int32_t k = 0; k < names.count; k++) total += names.items[k].length + kValueRoom;
  if (total > kLineMost) {
    strings_free_0(name);
    trees_free_0(tree);
    plot_err(at, "REPORT texts too long: one entry holds at most 64511 characters of labels, 24 for each value");
  }
  strings_one_more(&R().reportnames, name);
  strings_free_0(name);
  trees_one_more(&R().reports, tree);
}

void add_time(double t) {
  pde *p = plot_problem();
  vectord_one_more(&p->timerecs.data[ctime - 1].times, t);
  p->lastplottime = std::max(p->lastplottime, t);
}

void set_viewpoint(double *to, parse_node *const *v) {
  to[0] = rdexpr_constize(v[4]);
  to[1] = rdexpr_constize(v[5]);
  to[2] = M_PI / 2 - rdexpr_constize(v[6]) * M_PI / 180;
}

}  // namespace

void rdplot_reset() {
  section = 0;
  current_plot = cdata = ctime = 0;
}

// ---- Sections -----------------------------------------------------------------------------------

void rdplot_startmons(parse_node *, parse_node *const *) {
  section = 1;
  rdexpr_region = 0;
  domain_bound_regions(&dom());
}

void rdplot_startplots(parse_node *, parse_node *const *) {
  section = 2;
  rdexpr_region = 0;
  plot_problem()->lastplottime = 0;
  domain_bound_regions(&dom());
}

void rdplot_starthists(parse_node *, parse_node *const *) {
  section = 2;
  if (plot_problem()->timerecs.count == 0) {
    new_timerec();
    add_time(plot_problem()->endtime);
  }
}

// ---- Headers ------------------------------------------------------------------------------------

void rdplot_startctour(parse_node *r, parse_node *const *v) {
  start_2d(r, v, "CONTOUR", PLOT_CONTOUR, plot_problem()->contourgrid, plot_problem()->painted, plot_problem()->painted,
           4);
  auto_integrate();
  size_values(mode_count(), 1);
}

void rdplot_startctour2(parse_node *r, parse_node *const *v) {
  start_2d(r, v, "CONTOUR", PLOT_CONTOUR, plot_problem()->contourgrid, plot_problem()->painted, plot_problem()->painted,
           6);
  auto_integrate();
  size_values(2 * mode_count(), 1);
}

void rdplot_startsurf(parse_node *r, parse_node *const *v) {
  start_2d(r, v, "SURFACE", PLOT_SURFACE, plot_problem()->surfacegrid, plot_problem()->painted, 1, 4);
  auto_integrate();
  memcpy(R().viewpoint, plot_problem()->viewpoint, sizeof R().viewpoint);
  size_values(mode_count(), 1);
}

void rdplot_startgrid(parse_node *r, parse_node *const *v) {
  start_grid(r, v, PLOT_GRID, plot_problem()->contourgrid, 6);
  size_lines(2);
}

void rdplot_startgrid3(parse_node *r, parse_node *const *v) { start_grid(r, v, PLOT_GRID3, 0, 8); }

void rdplot_startvec2(parse_node *r, parse_node *const *v) {
  TreeNode *n = trees_new_1(op::vector, &v[6]->loc);
  n->arity = 2;
  n->child[0] = plot_take(r, v[3]);
  n->child[1] = plot_take(r, v[5]);
  v[3]->tree = n;  // the pair is the one expression
  new_plotrec(PLOT_VECTOR, plot_problem()->vectorgrid, &v[1]->loc, 0, 1);
  TextLoc to = start_of(v[6], ")");
  start_plotlist(r, v[1], "VECTOR", v[3], &v[6]->loc, &v[2]->loc, &to);
  plot_data().vector = 1;
  size_lines(2);
}

void rdplot_startvec1(parse_node *r, parse_node *const *v) {
  start_2d(r, v, "VECTOR", PLOT_VECTOR, plot_problem()->vectorgrid, 0, 1, 4);
  plot_data().vector = 1;
  size_lines(2);
}

void rdplot_startflow2(parse_node *r, parse_node *const *v) {
  start_2d(r, v, "STREAMLINE", PLOT_STREAMLINE, plot_problem()->vectorgrid, 0, 0, 6);
  vector3d_new(&R().values, mode_count(), mode_count());
}

void rdplot_startsummary(parse_node *, parse_node *const *v) {
  new_plotrec(PLOT_SUMMARY, 0, &v[1]->loc, 0, 0);
  String empty = {};
  strings_one_more(&R().titles, &empty);
}

void rdplot_labeledsummary(parse_node *, parse_node *const *v) {
  new_plotrec(PLOT_SUMMARY, 0, &v[1]->loc, 0, 0);
  String s = take_text(v[3]);
  strings_one_more(&R().titles, &s);
  strings_free_0(&s);
}

void rdplot_startelev(parse_node *r, parse_node *const *v) {
  new_plotrec(PLOT_ELEVATION, plot_problem()->elevationgrid, &v[1]->loc, 0, 0);
  start_open_list(r, v, "ELEVATION");
  auto_integrate();
}

void rdplot_nextelev(parse_node *r, parse_node *const *v) { next_expression(r, v[2], v[3]); }

void rdplot_onedplot(parse_node *, parse_node *const *v) {
  caption_through(&v[2]->loc);
  int32_t n = R().exprs.count;
  size_lines(n);
  int32_t m = mode_count();
  vector2d_new(&R().integrals, m, m);
  for (int32_t k = 0; k < m; k++) vectord_new(&R().integrals.data[k], n, n);
}

void rdplot_histarg1(parse_node *r, parse_node *const *v) {
  pde *p = plot_problem();
  if (!p->timedep && p->stages == 0 && p->maxstages == 0)
    plot_err(&v[1]->loc, "Problem is neither time dependent nor staged.");
  new_plotrec(PLOT_HISTORY, 0, &v[1]->loc, 0, 0);
  start_open_list(r, v, "HISTORY");
}

void rdplot_closeargs(parse_node *, parse_node *const *v) { caption_through(&v[2]->loc); }

void rdplot_histarg2(parse_node *r, parse_node *const *v) {
  pde *p = plot_problem();
  if (!p->timedep && p->stages == 0 && p->maxstages == 0)
    plot_err(&v[1]->loc, "Problem is neither time dependent nor staged.");
  next_expression(r, v[2], v[3]);
}

void rdplot_histat(parse_node *, parse_node *const *v) {
  caption_through(&v[2]->loc);
  point3d at = {v[4]->value.xyz[0], v[4]->value.xyz[1], v[4]->value.xyz[2]};
  point3d_one_more_0(&R().at, &at);
}

void rdplot_nextat1(parse_node *, parse_node *const *v) {
  point3d at = {v[2]->value.xyz[0], v[2]->value.xyz[1], v[2]->value.xyz[2]};
  point3d_one_more_0(&R().at, &at);
}

void rdplot_nextat2(parse_node *, parse_node *const *v) {
  point3d at = {v[3]->value.xyz[0], v[3]->value.xyz[1], v[3]->value.xyz[2]};
  point3d_one_more_0(&R().at, &at);
}

void rdplot_startcdf(parse_node *r, parse_node *const *v) {
  start_export(r, v, "CDF", PLOT_CDF, plot_problem()->cdfgrid);
}

void rdplot_starttecp(parse_node *r, parse_node *const *v) {
  if (plot_problem()->order == 3) plot_err(&v[1]->loc, "Can't Generate TECPLOT Output from CUBIC basis");
  start_export(r, v, "TECPLOT", PLOT_TECPLOT, plot_problem()->exportgrid);
  set(20);
}

void rdplot_starttable(parse_node *r, parse_node *const *v) {
  start_export(r, v, "TABLE", PLOT_TABLE, plot_problem()->exportgrid);
}

void rdplot_starttransfer(parse_node *r, parse_node *const *v) {
  start_export(r, v, "TRANSFER", PLOT_TRANSFER, plot_problem()->exportgrid);
}

void rdplot_nextexport(parse_node *r, parse_node *const *v) { next_expression(r, v[2], v[3]); }

// ---- Entry ends ---------------------------------------------------------------------------------

// The most grid points a plot over an area or a volume evaluates.
constexpr double kMostGrid = 2048.0 * 2048.0;

void rdplot_packplot(parse_node *, parse_node *const *v) {
  pde *p = plot_problem();
  R().data = plot_assign_plot_mesh(&p->plotdatas);
  cdata = uint16_t(R().data);
  int32_t k = R().kind;
  bool flat_kind = k == PLOT_ELEVATION || k == PLOT_GRID3 || k == PLOT_SUMMARY || k >= PLOT_CDF;
  if (dom().threed && !plot_data().surface && !plot_data().cut && !flat_kind)
    plot_err(&v[2]->loc, "2D Localization Required");
  // An elevation is drawn along a line or a named path; without one it has nothing to draw.
  if (k == PLOT_ELEVATION && !plot_data().line && !plot_data().boundary)
    plot_err(&header, "ELEVATION needs a path: FROM point TO point, or ON a named path");
  // A CDF or TABLE export of a volume samples nx x ny x nz points; a count not given is
  // the first (the exporter's 51 when there is none).
  if ((k == PLOT_CDF || k == PLOT_TABLE) && dom().threed && !plot_data().surface && !plot_data().cut) {
    double n[3];
    for (int a = 0; a < 3; a++) {
      n[a] = R().points[a] ? R().points[a] : plot_data().points[a];
      if (n[a] == 0) n[a] = a == 0 ? 51 : n[0];
    }
    if (n[0] * n[1] * n[2] > kMostGrid)
      plot_err(&header, "POINTS too many: an export over a volume holds at most 4194304 grid points");
  }
  // A CDF file holds a three-dimensional grid: on a cut or a surface it is not written,
  // which is said here, and the run goes on. (A table there lies over the plot's own
  // coordinates.)
  if (k == PLOT_CDF && dom().threed && (plot_data().surface || plot_data().cut)) {
    StringOwner m;
    strings_copyto_1(m.get(), "CDF on Surface not yet implemented.");
    report_parse_warning(p, &v[2]->loc, m.get());
  }
}

void rdplot_packhist(parse_node *, parse_node *const *) {
  R().data = plot_assign_plot_mesh(&plot_problem()->plotdatas);
  cdata = uint16_t(R().data);
  int32_t n = R().exprs.count, points = std::max(R().at.count, 1);
  vector3d_new(&R().values, n, n);
  vector2d_new(&R().integrals, n, n);
  for (int32_t k = 0; k < n; k++) {
    vector2d_new(&R().values.data[k], points, points);
    vectord_new(&R().integrals.data[k], points, points);
  }
}

// ---- Modifiers ----------------------------------------------------------------------------------

void rdplot_plotmods(parse_node *, parse_node *const *v) {
  static const char *const words[] = {
      "INTEGRATE", "RGSTEREO", "XSTEREO", "PSTEREO", "MONO", "GRAY", "BLACK", "MESH", "NORM", "INTERACTIVE",
      "NOTIPS", "PAINTED", "PAINT", "PAINTREGIONS", "PAINTMATERIALS", "EMF", "MERGE", "NOMERGE", "NOMINMAX",
      "AREA_INTEGRATE", "LINE_INTEGRATE", "SURF_INTEGRATE", "VOL_INTEGRATE", "LOG", "LINLIN", "LINLOG", "LOGLIN",
      "LOGLOG", "LINLINLIN", "LINLINLOG", "LINLOGLIN", "LINLOGLOG", "LOGLINLIN", "LOGLINLOG", "LOGLOGLIN",
      "LOGLOGLOG"};
  const char *name = v[2]->id ? v[2]->id->name.text : nullptr;
  int w = 0, n = int(sizeof words / sizeof *words);
  while (w < n && !(name && strcmp(name, words[w]) == 0)) w++;
  bool grid = R().kind == PLOT_GRID || R().kind == PLOT_GRID3, one_d = is_elevation_or_history();
  plotrec &r = R();
  switch (w) {
    case 0: set(4); break;
    case 1: set(9); break;
    case 2: set(10); break;
    case 3: set(11); break;
    case 4: case 5: r.colour = 1; break;
    case 6: r.colour = 2; break;
    case 7: set(14); break;
    case 8: set(7); break;
    case 9: set(5); break;
    case 10: set(12); break;
    case 11: case 12: set(13); break;
    case 13:
      if (grid) plot_data().paintregions = 1, set(13), set(24);
      break;
    case 14:
      if (grid) plot_data().paintregions = 0, set(13), clear(24);
      break;
    case 15: set(21); break;
    case 16: set(20); break;
    case 17: clear(20); break;
    case 18: set(23); break;
    case 19: case 20: set(4), clear(22); break;
    case 21: case 22: set(4), set(22); break;
    case 23: case 25: r.scale = one_d ? 2 : 1; break;
    case 24: r.scale = 0; break;
    case 26: r.scale = one_d ? 4 : 6; break;
    case 27: r.scale = 7; break;
    default:
      if (w >= n) plot_err(&v[2]->loc, "Illegal Name");
      r.scale = w - 28;
  }
}

void rdplot_pplotmods(parse_node *, parse_node *const *v) {
  if (!v[2]->id || strcmp(v[2]->id->name.text, "LOG") != 0) plot_err(&v[2]->loc, "Illegal Name");
  R().scale = is_elevation_or_history() ? 2 : 1;
  R().decades = count_of(v[4]);
}

void rdplot_plotvals(parse_node *, parse_node *const *v) { plot_err(&v[2]->loc, "Illegal Name"); }

void rdplot_plotas(parse_node *, parse_node *const *v) {
  String s = take_text(v[3]);
  if (R().titles.count == 0) strings_one_more(&R().titles, &s);
  else strings_copyto_0(&R().titles.items[0], &s);
  strings_free_0(&s);
}

void rdplot_printformat(parse_node *, parse_node *const *v) {
  String s = take_text(v[3]);
  strings_free_0(&R().format);
  R().format = s;
  set(19);
  R().formatloc = v[2]->loc;
}

// A plot over an area or a volume evaluates one value per grid point: their number is
// bounded before any is made (a line plot takes each count up to 65535).
static void grid_cost(const parse_node *at, double points) {
  if (is_elevation_or_history() || points <= kMostGrid) return;
  plot_err(&at->loc, "POINTS too many: a plot over an area holds at most 2048 x 2048 (4194304) grid points");
}

void rdplot_pointspec1(parse_node *, parse_node *const *v) {
  plot_data().points[0] = points_of(v[3], "POINTS");
  double n = plot_data().points[0];
  grid_cost(v[3], n * n);
}

void rdplot_pointspec2(parse_node *, parse_node *const *v) {
  plot_data().points[0] = points_of(v[4], "POINTS");
  plot_data().points[1] = points_of(v[6], "POINTS");
  grid_cost(v[6], double(plot_data().points[0]) * plot_data().points[1]);
}

void rdplot_pointspec3(parse_node *, parse_node *const *v) {
  plot_data().points[0] = points_of(v[4], "POINTS");
  plot_data().points[1] = points_of(v[6], "POINTS");
  plot_data().points[2] = points_of(v[8], "POINTS");
  grid_cost(v[8], double(plot_data().points[0]) * plot_data().points[1] * plot_data().points[2]);
}

// PRINT of the entry at the place: VECTOR and GRID plots have no print file.
static void print_on(const TextLoc *at) {
  int32_t k = R().kind;
  if (k == PLOT_VECTOR || k == PLOT_GRID || k == PLOT_GRID3)
    plot_err(at, "PRINT not available for VECTOR and GRID plots");
  set(1);
}

void rdplot_plotprint(parse_node *, parse_node *const *v) { print_on(&v[2]->loc); }

void rdplot_pronly(parse_node *, parse_node *const *) {
  // PRINTONLY is the <print> value itself; the entry takes it in rdplot_plotprint.
  if (current_plot) set(2);
}

void rdplot_printstar(parse_node *, parse_node *const *v) {
  plot_err(&v[3]->loc, "* option no longer supported.\nUse PRINT or TRANSFER");
}

void rdplot_printnum(parse_node *, parse_node *const *v) {
  print_on(&v[2]->loc);
  R().points[0] = R().points[1] = points_of(v[4], "PRINT");
}

void rdplot_printnum2(parse_node *, parse_node *const *v) {
  print_on(&v[2]->loc);
  R().points[0] = points_of(v[4], "PRINT");
  R().points[1] = points_of(v[6], "PRINT");
}

void rdplot_printfile(parse_node *, parse_node *const *v) {
  int32_t k = R().kind;
  if (!(R().flags & (plot_bit(1) | plot_bit(21))) && k != PLOT_CDF && k != PLOT_TABLE && k != PLOT_TRANSFER)
    plot_err(&v[2]->loc, "PRINT not specified");
  String s = take_text(v[3]);
  strings_free_0(&R().file);
  R().file = s;
  set(3);
}

void rdplot_zoomonly(parse_node *, parse_node *const *) {
  set(15), set(16), set(18);
}

void rdplot_plotzoom(parse_node *, parse_node *const *v) {
  double x = rdexpr_constize(v[4]), y = rdexpr_constize(v[5]), w = rdexpr_constize(v[6]),
         h = rdexpr_constize(v[7]);
  if (!dom().threed) {
    rect3d b;
    if (domain_box(&b) && !(x <= b.x2 && x + w >= b.x1 && y <= b.y2 && y + h >= b.y1))
      plot_err(&v[2]->loc, "Empty ZOOM Box");
  }
  plotdata &d = plot_data();
  double box[6] = {x, y, 0, x + w, y + h, 0};
  memcpy(d.box, box, sizeof box);
  d.zoomed = 1;
  d.created = 0;
  set(15), set(16);
  TextLoc from = start_of(v[2], "ZOOM");
  add_caption(&from, &v[8]->loc);
}

void rdplot_plotzoom3(parse_node *, parse_node *const *v) {
  double a[6];
  for (int k = 0; k < 6; k++) a[k] = rdexpr_constize(v[4 + k]);
  if (!dom().threed) plot_err(&v[2]->loc, "3D ZOOM Box in 2D geometry");
  rect3d b;
  if (domain_box(&b)) {
    bool miss = !(a[0] <= b.x2 && a[0] + a[3] >= b.x1 && a[1] <= b.y2 && a[1] + a[4] >= b.y1);
    // The z range of an extruded domain is known only once its surfaces are evaluated.
    if (b.z1 <= b.z2 && !(a[2] <= b.z2 && a[2] + a[5] >= b.z1)) miss = true;
    if (miss) plot_err(&v[2]->loc, "Empty ZOOM Box");
  }
  plotdata &d = plot_data();
  double box[6] = {a[0], a[1], a[2], a[0] + a[3], a[1] + a[4], a[2] + a[5]};
  memcpy(d.box, box, sizeof box);
  d.zoomed = 1;
  d.created = 0;
  set(15), set(16), set(17);
  TextLoc from = start_of(v[2], "ZOOM");
  add_caption(&from, &v[10]->loc);
}

void rdplot_plotview(parse_node *, parse_node *const *v) {
  set_viewpoint(R().viewpoint, v);
  TextLoc from = start_of(v[2], "VIEWPOINT");
  add_caption(&from, &v[7]->loc);
}

void rdplot_plotview0(parse_node *, parse_node *const *v) { set_viewpoint(plot_problem()->viewpoint, v); }

void rdplot_plotrange(parse_node *r, parse_node *const *v) { plot_range(r, v[3], v[4], false); }
void rdplot_ploterange(parse_node *r, parse_node *const *v) { plot_range(r, v[4], v[5], false); }
void rdplot_plotfrange(parse_node *r, parse_node *const *v) { plot_range(r, v[4], v[5], true); }
void rdplot_plotefrange(parse_node *r, parse_node *const *v) { plot_range(r, v[5], v[6], true); }

void rdplot_plotreport0(parse_node *r, parse_node *const *v) {
  String s = {};
  text_between(&s, &v[1]->loc, &rdpde_prevend);
  plot_report(&s, plot_take(r, v[2]), &v[1]->loc);
}

void rdplot_plotreport(parse_node *r, parse_node *const *v) {
  String s = take_text(v[4]);
  plot_report(&s, plot_take(r, v[2]), &v[1]->loc);
}

void rdplot_stringreport1(parse_node *, parse_node *const *v) {
  String s = take_text(v[2]);
  plot_report(&s, nullptr, &v[1]->loc);
}

void rdplot_stringreport2(parse_node *, parse_node *const *v) {
  String s = take_text(v[3]);
  plot_report(&s, nullptr, &v[1]->loc);
}

void rdplot_fromto1d(parse_node *, parse_node *const *v) {
  if (plot_data().region || plot_data().surface) plot_err(&v[2]->loc, "FROM and ON are mutually exclusive");
  fromtopoints(v[3]->value.xyz, v[5]->value.xyz, &v[5]->loc);
  TextLoc from = start_of(v[2], "FROM");
  add_caption(&from, &v[3]->loc);
  add_caption(&v[3]->loc, &v[5]->loc);
}

void rdplot_ploton(parse_node *, parse_node *const *v) {
  String name = take_text(v[3]);
  add_caption_text("ON ", &name);
  strings_upstring_0(&name);
  Domain &d = dom();
  uint16_t k;
  if (R().kind == PLOT_ELEVATION && (k = edges_find_loop_name(&d.loops, &name))) {
    if (plot_data().boundary || plot_data().line) {
      strings_free_0(&name);
      plot_err(&v[3]->loc, "Conflicting Boundary Names");
    }
    const Loop &l = d.loops.data[k - 1];
    int32_t e = l.edges.count == 1 ? l.edges.data[0] : 0;
    const Edge *edge = e ? &d.edges.data[(e < 0 ? -e : e) - 1] : nullptr;
    if (!plot_problem()->moving && edge && edge->shape == SHAPE_LINE) {
      const Joint &a = d.joints.data[edge->joint1 - 1], &b = d.joints.data[edge->joint2 - 1];
      double p[3] = {a.x, a.y, a.z}, q[3] = {b.x, b.y, b.z};
      if (e < 0) std::swap(p, q);
      fromtopoints(p, q, &v[3]->loc);
    } else {
      plot_data().boundary = k;
    }
  } else if ((k = domain_find_named(&d.regions, &name, false))) {
    // A feature is a path with no area: ON names its path by the START name.
    if (d.regions.data[k - 1].type == 2) {
      StringOwner m;
      strings_copyto_0(m.get(), &name);
      strings_addto_1(m.get(), " is a FEATURE, which has no area: name its path (START 'name')");
      strings_free_0(&name);
      report_parse_err_0(plot_problem(), &v[3]->loc, m.get());
    }
    plot_data().region = k;
  } else if (d.threed && (k = domain_find_sheet_name(&d, &name))) {
    plot_data().surface = k;
  } else if (d.threed && (k = domain_find_layer_name(&d, &name))) {
    plot_data().layer = k;
  } else {
    StringOwner m;
    strings_copyto_1(m.get(), "Unknown Name: ");
    strings_addto_0(m.get(), &name);
    strings_free_0(&name);
    report_parse_err_0(plot_problem(), &v[3]->loc, m.get());
  }
  strings_free_0(&name);
}

void rdplot_plotonregionum(parse_node *, parse_node *const *v) {
  Domain &d = dom();
  uint16_t k = selector_number(v[4], d.regions.count, "Bad Region Number");
  if (dom().regions.data[k - 1].type == 2) plot_err(&v[4]->loc, "A FEATURE has no area: ON REGION names an area");
  plot_data().region = k;
  const rect3d &b = d.regions.data[k - 1].box;
  double box[6] = {b.x1, b.y1, b.z1, b.x2, b.y2, b.z2};
  memcpy(plot_data().box, box, sizeof box);
  TextLoc from = start_of(v[2], "ON");
  add_caption(&from, &v[4]->loc);
}

void rdplot_plotonregioname(parse_node *, parse_node *const *v) {
  String name = take_text(v[4]);
  add_caption_text("ON REGION ", &name);
  if (plot_data().line) {
    strings_free_0(&name);
    plot_err(&v[4]->loc, "FROM and ON are mutually exclusive");
  }
  uint16_t k = domain_find_named(&dom().regions, &name, false);
  strings_free_0(&name);
  if (!k) plot_err(&v[4]->loc, "UNKNOWN REGION NAME.");
  if (dom().regions.data[k - 1].type == 2) plot_err(&v[4]->loc, "A FEATURE has no area: ON REGION names an area");
  plot_data().region = k;
}

// ON SURFACE n and ON LAYER n: the number, held to the count of names.
static uint16_t on_sheet_number(parse_node *const *v, uint16_t count, const char *message) {
  check_3d_selector(&v[3]->loc);
  uint16_t k = selector_number(v[4], count, message);
  TextLoc from = start_of(v[2], "ON");
  add_caption(&from, &rdpde_prevend);
  return k;
}

// ON SURFACE text and ON LAYER text: the named surface or layer.
static uint16_t on_sheet_name(parse_node *const *v, const char *head, uint16_t (*find)(const Domain *, String *),
                              const char *unknown) {
  String name = take_text(v[4]);
  add_caption_text(head, &name);
  check_3d_selector(&v[3]->loc);
  uint16_t k = find(&dom(), &name);
  strings_free_0(&name);
  if (!k) plot_err(&v[4]->loc, unknown);
  return k;
}

void rdplot_plotonsurfnum(parse_node *, parse_node *const *v) {
  plot_data().surface = on_sheet_number(v, uint16_t(dom().sheetnames.count), "Bad Surface Number");
}

void rdplot_plotonsurfname(parse_node *, parse_node *const *v) {
  plot_data().surface = on_sheet_name(v, "ON SURFACE ", domain_find_sheet_name, "UNKNOWN SURFACE NAME.");
}

void rdplot_plotonlayernum(parse_node *, parse_node *const *v) {
  plot_data().layer = on_sheet_number(v, domain_layer_count(&dom()), "Bad Layer Number");
}

void rdplot_plotonlayername(parse_node *, parse_node *const *v) {
  plot_data().layer = on_sheet_name(v, "ON LAYER ", domain_find_layer_name, "UNKNOWN LAYER NAME.");
}

void rdplot_plotonsurfeqn(parse_node *r, parse_node *const *v) {
  cut_plane(r, v[4], v[6], &v[2]->loc);
  TextLoc from = start_of(v[2], "ON");
  add_caption(&from, &rdpde_prevend);
}

void rdplot_plotoneqn(parse_node *r, parse_node *const *v) {
  cut_plane(r, v[3], v[5], &v[2]->loc);
  TextLoc from = start_of(v[2], "ON");
  add_caption(&from, &rdpde_prevend);
}

// ---- Times --------------------------------------------------------------------------------------

void rdplot_fortime(parse_node *, parse_node *const *v) {
  pde *p = plot_problem();
  const String &name = v[2]->id->name;
  new_timerec();
  if (strcmp(name.text, "CYCLE") == 0) {
    p->timerecs.data[ctime - 1].cycle = count_of(v[3]);
    return;
  }
  const char *tname = p->coordnames.count >= 4 && p->coordnames.items[3].text ? p->coordnames.items[3].text : "T";
  if (strcmp(name.text, tname) != 0) plot_err(&v[2]->loc, "Illegal name");
  add_time(rdexpr_constize(v[3]));
}

void rdplot_fortimet(parse_node *, parse_node *const *v) {
  new_timerec();
  add_time(rdexpr_constize(v[3]));
}

void rdplot_nextime(parse_node *, parse_node *const *v) {
  if (plot_problem()->timerecs.data[ctime - 1].cycle) plot_err(&v[2]->loc, "Mixed Plot Time Forms");
  add_time(rdexpr_constize(v[2]));
}

void rdplot_bytime(parse_node *, parse_node *const *v) {
  timerec &t = plot_problem()->timerecs.data[ctime - 1];
  if (t.cycle) plot_err(&v[2]->loc, "Mixed Plot Time Forms");
  double dt = rdexpr_constize(v[3]), t2 = rdexpr_constize(v[5]);
  if (!(dt > 0)) plot_err(&v[3]->loc, "ZERO INTERVAL");
  double t0 = t.times.count ? t.times.data[t.times.count - 1] : 0;
  // Every plot time is held and plotted: the count is bounded before any is made.
  constexpr double kMostTimes = 100000;
  // Halved first, so that neither the span nor the count can overflow at the number's ends.
  double half = t2 / 2 - t0 / 2;
  if (!(half / (kMostTimes / 2) <= dt)) plot_err(&v[3]->loc, "Too many plot times: FOR ... BY gives at most 100000");
  for (int64_t k = 1;; k++) {
    double x = t0 + double(k) * dt;
    if (!(x < t2 - 0.1 * dt)) break;
    add_time(x);
  }
  add_time(t2);
}

int rdplot_init() {
  TRACE("rdplot");
  return 0;
}
