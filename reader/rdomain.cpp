// rdomain: the boundary, coordinate, time and end actions. The BOUNDARIES actions make
// joints, edges, loops and regions as the paths are read; the conditions written along
// a path are kept per variable in condition tables of one row per extrusion surface
// (one row in two dimensions) and turned into tags on each edge as it is logged.
#include "reader/rdomain.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/periodic.h"
#include "domain/regions.h"
#include "model/bcs.h"
#include "model/forloops.h"
#include "model/metrics.h"
#include "model/params.h"
#include "reader/ppde.h"
#include "reader/rdexpr.h"
#include "reader/rdpde.h"
#include "runtime/debug.h"
#include "runtime/owner.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

uint16_t rdomain_surface = 0;
uint16_t rdomain_periodic = 0;

namespace {

// Degrees to radians; exact, so that 2*pi RADIANS is a full turn as 360 degrees is.
constexpr double kDegree = M_PI / 180;

using Table = std::vector<std::vector<uint16_t>>;  // [surface row][variable], both from 0

// The working state of one parse.
struct State {
  uint16_t surfaces = 0;    // rows of the condition tables
  int16_t spacing = 0;      // NODE_SPACING (+k) or NODE_DENSITY (-k) of the segment
  uint16_t loop = 0;        // loop of the path being read
  uint16_t start = 0;       // first joint of the path
  uint16_t joint = 0;       // joint at which the next segment begins
  uint16_t last = 0;        // joint of the latest point read (target of point conditions)
  uint8_t sideset = 0;      // a side condition was given since the region began
  uint8_t feature = 0;      // the current region is a FEATURE
  TextLoc end = {};         // place of the latest piece of the region
  // The joints of the point list being read (LINE LIST, SPLINE), with their places.
  std::vector<std::pair<uint16_t, TextLoc>> list;
  Table side, sidetype, surf, surftype, gsurf, gsurftype, point, pointtype;
  // Conditions written at the BOUNDARIES level, before the first region: every region
  // starts with them in force, as a condition written on a path holds until changed.
  Table gside, gsidetype;
  uint8_t gsideset = 0;
  // The reader only appends joints and edges: bucketed searches find those already made.
  JointIndex joints;
  EdgeIndex edges;
} side_lists;

vectorn tag_scratch = {};  // one tag row while conditions merge

pde *the_problem() { return rdpde_problem; }
Domain *the_domain() { return rdpde_problem->mesh.domain; }
FormulaSet &the_formulas() { return rdpde_problem->formulas; }

[[noreturn]] void domain_err(const TextLoc *loc, const char *message) { rdomain_error(loc, message); }

// Every table gets at least rows x width entries; new ones are 0.
void widen(Table &t, size_t rows, size_t width) {
  if (t.size() < rows) t.resize(rows);
  for (auto &row : t)
    if (row.size() < width) row.resize(width, 0);
}
Table *side_tables[] = {&side_lists.side,  &side_lists.sidetype,  &side_lists.surf,  &side_lists.surftype,
                        &side_lists.gsurf, &side_lists.gsurftype, &side_lists.point, &side_lists.pointtype,
                        &side_lists.gside, &side_lists.gsidetype};
void widen_all(size_t rows, size_t width) {
  for (Table *t : side_tables) widen(*t, rows, width);
}
// Row k (from 1) of a table as a vectorn that borrows the storage.
vectorn view(Table &t, size_t k) {
  std::vector<uint16_t> &row = t[k - 1];
  return vectorn{int32_t(row.size()), int32_t(row.size()), row.data()};
}

// A number of the geometry from node n, which r may share as its $1.
double number(parse_node *r, parse_node *n) {
  if (r->tree == n->tree) r->tree = nullptr;
  return rdomain_stageize(n);
}
double constant(parse_node *r, parse_node *n) {
  if (r->tree == n->tree) r->tree = nullptr;
  return rdexpr_constize(n);
}
TreeNode *domain_take(parse_node *r, parse_node *n) { return rdomain_take(r, n); }
String domain_take_string(parse_node *n, bool upper) { return rdomain_take_string(n, upper); }
// Gives r an integer value (r must not hold a string of its own then).
void give_result(parse_node *r, int32_t value) {
  if (r->token == SYM_STRING) r->token = 0;
  r->value.integer = value;
}

Edge &edge(uint16_t n) { return the_domain()->edges.data[n - 1]; }
Joint &joint(uint16_t n) { return the_domain()->joints.data[n - 1]; }

// The joint of a point node, with the point's place.
uint16_t make_joint(const parse_node *pt) {
  Domain *d = the_domain();
  if (d->joints.count == UINT16_MAX) domain_err(&pt->loc, "Too many boundary points (limit 65535)");
  const double x = pt->value.xyz[0], y = pt->value.xyz[1];
  uint16_t j = joints_make_joint_2(&d->joints, x, y, &d->grid, &side_lists.joints);
  // A point within the tolerance of a joint becomes that joint, and a segment or a hole
  // smaller than the tolerance goes with it: unless it is the same point written again
  // (within a thousandth of the tolerance), the log says where.
  double moved = std::hypot(joint(j).x - x, joint(j).y - y);
  if (moved > 1e-3 * d->grid.tolerance) {
    char text[160];
    snprintf(text, sizeof text, "Point (%.10g,%.10g) is taken as (%.10g,%.10g), closer than the tolerance %g", x, y,
             joint(j).x, joint(j).y, d->grid.tolerance);
    StringOwner m;
    strings_copyto_1(m.get(), text);
    report_parse_warning(the_problem(), &pt->loc, m.get());
  }
  // A joint whose corner is cut keeps the place of the point the cut follows: its errors
  // point there, not at another region's line that draws the same point later.
  if (!(joint(j).corner > 0)) joint(j).place = pt->loc;
  side_lists.last = j;
  side_lists.end = pt->loc;
  return j;
}

// The variable a condition names: its symbol must be a variable.
uint16_t varnum(const parse_node *n) {
  if (!n->id || n->id->kind != varbnam) domain_err(&n->loc, "BAD QUALIFIER");
  widen_all(side_lists.surfaces ? side_lists.surfaces : 1, n->id->index);
  return n->id->index;
}

// Records condition number n of the type for variable v under the selectors in force.
void setbc(uint16_t v, uint16_t n, uint16_t type) {
  uint16_t layer = rdexpr_layer, surface = rdomain_surface;
  widen_all(std::max({size_t(side_lists.surfaces), size_t(layer), size_t(surface), size_t(1)}), v);
  if (surface) {
    side_lists.surf[surface - 1][v - 1] = n;
    side_lists.surftype[surface - 1][v - 1] = type;
    return;
  }
  side_lists.sideset = 1;
  for (size_t row = 1; row <= side_lists.side.size(); row++)
    if (!layer || row == layer) side_lists.side[row - 1][v - 1] = n, side_lists.sidetype[row - 1][v - 1] = type;
}

// Restores the surface conditions to the defaults given at the BOUNDARIES level; the
// side conditions become those defaults too with sides set, or none without.
void clear_bc(bool sides) {
  widen_all(std::max<uint16_t>(side_lists.surfaces, 1), 0);
  for (size_t row = 0; row < side_lists.side.size(); row++)
    for (size_t v = 0; v < side_lists.side[row].size(); v++) {
      side_lists.side[row][v] = sides ? side_lists.gside[row][v] : 0;
      side_lists.sidetype[row][v] = sides ? side_lists.gsidetype[row][v] : 0;
      side_lists.surf[row][v] = side_lists.gsurf[row][v];
      side_lists.surftype[row][v] = side_lists.gsurftype[row][v];
    }
  rdomain_surface = 0;
  side_lists.sideset = sides ? side_lists.gsideset : 0;
  side_lists.spacing = 0;
}

// The tag of an entity that carries tag old, with side-condition row k merged in.
uint16_t merged_tag(uint16_t old, size_t k, const TextLoc *place) {
  bcset *set = &the_formulas().bcs;
  vectorn row = view(side_lists.side, k);
  if (!old) return bcs_make_bctag(set, &row);
  vectorn_copyto_0(&tag_scratch, &set->tags.data[old - 1]);
  if (bcs_merge_bctags(set, &tag_scratch, &row) > 0) domain_err(place, "BOUNDARY CONDITION CONFLICT");
  return bcs_make_bctag(set, &tag_scratch);
}

// Attaches signed edge e to the path, ending at place.
void log_seg(int32_t e, const TextLoc *place) {
  Domain *d = the_domain();
  if (side_lists.loop) edges_add_to_loop(&d->loops, side_lists.loop, e);
  uint16_t n = uint16_t(std::abs(e));
  side_lists.end = *place;
  {
    Edge &E = edge(n);
    if (side_lists.feature) E.feature = 1;
    E.place = *place;
    if (rdomain_periodic) {
      E.periodic = rdomain_periodic;
      vectorn_one_more(&d->periodics.data[rdomain_periodic - 1].sources, n);
    }
    if (E.spacing == 0) E.spacing = side_lists.spacing;
  }
  widen_all(std::max<uint16_t>(side_lists.surfaces, 1), the_problem()->nvars);
  if (side_lists.surfaces != 1 && side_lists.sideset) {
    vectorn &tags = edge(n).layer_tags;
    int32_t old = tags.count;
    if (old < side_lists.surfaces) {
      vectorn_resize(&tags, side_lists.surfaces, std::max<int32_t>(side_lists.surfaces, tags.capacity));
      for (int32_t k = old; k < tags.count; k++) tags.data[k] = 0;
    }
    for (uint16_t L = 1; L <= side_lists.surfaces; L++) {
      uint16_t t = merged_tag(edge(n).layer_tags.data[L - 1], L, place);
      edge(n).layer_tags.data[L - 1] = t;
    }
    edge(n).bctag = edge(n).layer_tags.data[0];
  } else {
    uint16_t t = merged_tag(edge(n).bctag, 1, place);
    edge(n).bctag = t;
  }
}

// A line from the current joint to joint j, whose point stands at place.
void line_to_joint(uint16_t j, const TextLoc *place) {
  if (j == side_lists.joint) return;
  // The squares of a segment's extent must stay within the range of doubles, or its
  // line equation overflows; below 1e-40 the mesher's tolerances leave it no cells.
  double extent =
      std::max(std::fabs(joint(j).x - joint(side_lists.joint).x), std::fabs(joint(j).y - joint(side_lists.joint).y));
  if (!(extent <= 1e150)) domain_err(place, "Line segment too long (over 1e150)");
  if (extent < 1e-40) domain_err(place, "Line segment too short (under 1e-40)");
  Domain *d = the_domain();
  log_seg(edges_make_line_edge_1(&d->edges, &d->joints, side_lists.joint, j, &d->grid, &side_lists.edges), place);
  side_lists.joint = j;
}
// A line from the current joint to the joint of point node pt.
void line_to(const parse_node *pt) { line_to_joint(uint16_t(pt->value.integer), &pt->loc); }

// Logs arc e at place and moves on to its far end; no arc is "BAD ARC SPECIFICATION".
void arc_built(int32_t e, const TextLoc *place) {
  if (e == 0) domain_err(place, "BAD ARC SPECIFICATION");
  log_seg(e, place);
  const Edge &E = edge(uint16_t(std::abs(e)));
  side_lists.joint = e > 0 ? E.joint2 : E.joint1;
}

// An arc from the current joint whose point (or last point) stands at place: its
// points' and centre's distances from its start, and its radius, must keep their squares
// within the range of doubles as a line's extent does, or its construction overflows with
// no line to show.
int32_t make_arc(const TextLoc *place, uint16_t j2, uint16_t j3, int32_t kind, double x, double y, double radius,
                 double angle) {
  const Joint &a = joint(side_lists.joint);
  double extent = std::fabs(radius);
  auto reach = [&](double px, double py) { extent = std::max({extent, std::fabs(px - a.x), std::fabs(py - a.y)}); };
  if (j2) reach(joint(j2).x, joint(j2).y);
  if (j3) reach(joint(j3).x, joint(j3).y);
  if (kind == ARC_TWO_POINT_CENTER || kind == ARC_POINT_CENTER_ANGLE) reach(x, y);
  if (!(extent <= 1e150)) domain_err(place, "Arc too large (over 1e150)");
  Domain *d = the_domain();
  return edges_make_arc_edge(&d->edges, &d->joints, side_lists.joint, j2, j3, kind, x, y, radius, angle, &d->grid);
}

// A further TO point of an arc segment: about the centre of the segment's previous
// arc prev (signed, 0 when none was built).
int32_t continue_arc(int32_t prev, const parse_node *pt) {
  if (prev == 0 || std::abs(prev) > the_domain()->edges.count) domain_err(&pt->loc, "BAD ARC SPECIFICATION");
  uint16_t j = uint16_t(pt->value.integer);
  if (j == side_lists.joint) return prev;
  const arcrec a = edge(uint16_t(std::abs(prev))).shapedata.arc;
  int32_t e = make_arc(&pt->loc, j, 0, ARC_TWO_POINT_CENTER, a.cx, a.cy, 0, 0);
  if (e == 0 || std::fabs(edge(uint16_t(std::abs(e))).shapedata.arc.sweep) > 3.14)
    domain_err(&pt->loc, "BAD ARC SPECIFICATION");
  log_seg(e, &pt->loc);
  side_lists.joint = j;
  return e;
}

void bevlet(parse_node *r, parse_node *const *v, int32_t kind) {
  double size = number(r, v[2]);
  if (!side_lists.joint) return;
  joint(side_lists.joint).corner = size;
  joint(side_lists.joint).kind = kind;
  joint(side_lists.joint).place = side_lists.end;
  widen_all(std::max<uint16_t>(side_lists.surfaces, 1), the_problem()->nvars);
  uint16_t t = merged_tag(joint(side_lists.joint).bctag, 1, &v[1]->loc);
  joint(side_lists.joint).bctag = t;
}

void new_periodic(parse_node *r, parse_node *const *v, int n) {
  pde *p = the_problem();
  Domain *d = the_domain();
  TreeNode *kids[3] = {};
  for (int k = 0; k < n; k++) kids[k] = domain_take(r, v[3 + 2 * k]);
  if (d->perextrude) {
    for (TreeNode *t : kids) trees_free_0(t);
    domain_err(&v[1]->loc, "Two-Way Periodicity");
  }
  if (!kids[1]) kids[1] = trees_new_1(op::ycoord, &v[1]->loc);
  if (!kids[2]) kids[2] = trees_new_1(op::zcoord, &v[1]->loc);
  clear_bc(false);  // a periodic segment carries no condition
  uint16_t m = periodic_one_more(&d->periodics);
  TreeNode *map = trees_new_1(op::vector, &v[1]->loc);
  map->arity = uint8_t(p->dimension == 3 ? 3 : 2);
  for (int k = 0; k < 3; k++) {
    if (k < map->arity) map->child[k] = kids[k];
    else trees_free_0(kids[k]);
  }
  d->periodics.data[m - 1].mapping = map;
  rdomain_periodic = m;
}

// The message of a definition left without a value in region.
void undefined(const param *q, uint16_t region, uint16_t layer) {
  // The report does not return: the text lives in a buffer that the next one reuses.
  static std::string text;
  text.assign(q->name.text ? q->name.text : "", q->name.length);
  text += " is undefined in region " + std::to_string(region);
  if (layer) text += " layer " + std::to_string(layer);
  domain_err(&side_lists.end, text.c_str());
}

// Every joint of an include or exclude region must end an even number of the edges of
// its loops, else the region is not closed; it is reported at the highest such joint.
void check_closed(uint16_t region) {
  Domain *d = the_domain();
  std::vector<uint32_t> ends(d->joints.count + 1, 0);
  const vectorn &loops = d->regions.data[region - 1].loops;
  for (int32_t k = 0; k < loops.count; k++) {
    uint16_t l = loops.data[k];
    if (l < 1 || l > d->loops.count) continue;
    const vectorl &es = d->loops.data[l - 1].edges;
    for (int32_t i = 0; i < es.count; i++) {
      int32_t e = std::abs(es.data[i]);
      if (e < 1 || e > d->edges.count) continue;
      ends[edge(uint16_t(e)).joint1]++;
      ends[edge(uint16_t(e)).joint2]++;
    }
  }
  for (size_t j = ends.size() - 1; j >= 1; j--)
    if (ends[j] % 2) {
      const TextLoc &at = joint(uint16_t(j)).place;
      domain_err(at.file || at.line ? &at : &side_lists.end, "Region Boundary Not Closed");
    }
}

void spacing_expression(parse_node *r, parse_node *const *v, int sign, bool mesh) {
  uint16_t k = trees_one_more(&the_formulas().spacing, domain_take(r, v[3]));
  int16_t sel = int16_t(sign * int32_t(k));
  if (!mesh) {
    side_lists.spacing = sel;
    return;
  }
  Domain *d = the_domain();
  if (rdexpr_region && rdexpr_region <= d->regions.count) d->regions.data[rdexpr_region - 1].spacing = sel;
  else d->spacing = sel;
}

void condition(parse_node *r, parse_node *const *v, int32_t type) {
  uint16_t var = varnum(v[3]);
  bcset *set = &the_formulas().bcs;
  uint16_t n = bcs_new_bc(set);
  bcs_define_bc(set, n, domain_take(r, v[6]), type, var);
  setbc(var, n, uint16_t(type));
  side_lists.end = v[6]->loc;
}

void point_condition(parse_node *r, parse_node *const *v, int32_t type) {
  uint16_t var = varnum(v[4]);
  bcset *set = &the_formulas().bcs;
  uint16_t n = bcs_new_bc(set);
  side_lists.point[0][var - 1] = n;
  bcs_define_bc(set, n, domain_take(r, v[7]), type, var);
  side_lists.pointtype[0][var - 1] = uint16_t(type);
  side_lists.end = v[7]->loc;
}

// ---- COORDINATES -----------------------------------------------------------------------------------

// Puts the name of node n into slot (1..7) of the coordinate-name list.
void set_coordname(uint16_t slot, parse_node *n) {
  StringList &names = the_problem()->coordnames;
  if (names.count < 7) strings_resize_1(&names, 7, 7);
  String s = domain_take_string(n, n->token == SYM_STRING);
  strings_moveto(&names.items[slot - 1], &s);
  strings_free_0(&s);
}

// COORDINATES name with n coordinates (0: the system's own count) and up to three names.
void dometric(parse_node *name, int32_t n, parse_node *const *names = nullptr, int count = 0) {
  pde *p = the_problem();
  if (p->coords.coordsin) rdexpr_section_err(&name->loc);
  uint16_t s = n >= 0 && n <= 3 ? metrics_get_metric(&p->coords, &name->id->name, uint16_t(n), &p->coordnames) : 0;
  if (s == 0 || (n != 0 && s != n)) domain_err(&name->loc, "BAD COORDINATE SPECIFIER");
  for (int k = 0; k < count; k++) set_coordname(uint16_t(k + 1), names[k]);
  p->coordloc = name->loc;
  rdexpr_section = 0;
  rdexpr_build_coords(&name->loc);
}

// ---- END ----------------------------------------------------------------------------------------------

bool descriptor_pass() { return control_parse_pass || the_problem()->bodyread; }

void endup() {
  pde *p = the_problem();
  if (!descriptor_pass()) return;
  // An eigenvalue problem has no time: a time derivative or a TIME section is an error at
  // the first place time was asked for.
  if (p->eigen && p->timedep)
    domain_err(p->timeloc.file ? &p->timeloc : &p->endloc,
               "An eigenvalue problem has no time: no dt() and no TIME section");
  rdexpr_tcheck(&p->endloc, 1);
  if (the_domain()->edges.count == 0) domain_err(&p->endloc, "No BOUNDARIES Specified");
  const looplist &loops = the_formulas().loops;
  if (loops.count > 0) domain_err(&loops.items[loops.count - 1].loc, "Unclosed FOR loop");
}

}  // namespace

void rdomain_error(const TextLoc *loc, const char *message) {
  String m{uint16_t(strlen(message)), uint16_t(strlen(message)), const_cast<char *>(message)};
  report_parse_err_0(the_problem(), loc, &m);
}

TreeNode *rdomain_take(parse_node *r, parse_node *n) {
  TreeNode *t = n->tree;
  n->tree = nullptr;
  if (r->tree == t) r->tree = nullptr;
  return t;
}

String rdomain_take_string(parse_node *n, bool upper) {
  String s = {};
  if (n->token == SYM_STRING) {
    s = n->value.string;
    n->value.string = {};
  } else if (n->id) {
    strings_copyto_0(&s, &n->id->name);
  }
  if (upper) strings_upstring_0(&s);
  return s;
}

void rdomain_reset(pde *p) {
  side_lists = State{};
  vectorn_free(&tag_scratch);
  rdomain_surface = rdomain_periodic = 0;
  if (p) {
    p->persign = 0;
    p->haltdt = -1;
  }
}

double rdomain_stageize(parse_node *n) {
  TRACE("rdomain_stageize");
  if (rdexpr_holds_definition(n->tree)) rdpde_problem->stagedgeom = 1;
  return rdexpr_constize(n);
}

void rdomain_periodic_sign(double sign, const TextLoc *loc) {
  pde *p = the_problem();
  if (p->persign == -sign) domain_err(loc, "Confilicting Periodic Declaration");
  p->persign = sign;
}

// ---- END and the end of BOUNDARIES ------------------------------------------------------------

void rdomain_uncoded_end(parse_node *r, parse_node *const *v) {
  the_problem()->endloc = v[1]->loc;
  give_result(r, 0);
}
void rdomain_end_key(parse_node *, parse_node *const *) { endup(); }
void rdomain_end_key1(parse_node *, parse_node *const *) { endup(); }
void rdomain_eof_end(parse_node *, parse_node *const *v) {
  debug_printf("EOF END!\n");
  if (descriptor_pass()) domain_err(&v[2]->loc, "Unexpected End of File");
}

void rdomain_endbdry(parse_node *, parse_node *const *) {
  Domain *d = the_domain();
  joints_quantize(&d->joints, &d->grid);
  edges_fit_arcs(&d->edges, &d->joints);
  vectorn_free(&tag_scratch);
}

// ---- COORDINATES and TIME ----------------------------------------------------------------------------

void rdomain_coordspec0(parse_node *, parse_node *const *v) { dometric(v[2], 0); }
void rdomain_coordspec(parse_node *, parse_node *const *v) { dometric(v[2], v[4]->value.integer); }
void rdomain_coordspec1(parse_node *, parse_node *const *v) { dometric(v[2], 1, &v[4], 1); }
void rdomain_coordspec2(parse_node *, parse_node *const *v) {
  parse_node *names[] = {v[4], v[6]};
  dometric(v[2], 2, names, 2);
}
void rdomain_coordspec3(parse_node *, parse_node *const *v) {
  parse_node *names[] = {v[4], v[6], v[8]};
  dometric(v[2], 3, names, 3);
}
void rdomain_coordeq(parse_node *, parse_node *const *v) { domain_err(&v[2]->loc, "UNIMPLEMENTED"); }
void rdomain_coordtime(parse_node *, parse_node *const *v) {
  pde *p = the_problem();
  set_coordname(4, v[4]);
  metrics_timecoord(&p->coords, &p->scopes.roots[0], &p->coordnames);
  p->timedep = 1;
}

// TIME [FROM] t0 TO t1 [BY dt] [HALT = h].
static void time_start(parse_node *r, parse_node *n) {
  pde *p = the_problem();
  if (p->timerange) domain_err(&n->loc, "TIME RANGE DUPLICATION");
  p->starttime_value = constant(r, n);
  p->timerange = 1;
  p->timedep = 1;
}
void rdomain_tstart1(parse_node *r, parse_node *const *v) { time_start(r, v[1]); }
void rdomain_tstart2(parse_node *r, parse_node *const *v) { time_start(r, v[2]); }
// An end at or before the start leaves nothing to run: no step would be taken and every
// output would carry the start's values, so it is refused at its place.
void rdomain_tend2(parse_node *r, parse_node *const *v) {
  pde *p = the_problem();
  p->endtime = constant(r, v[2]);
  if (!(p->endtime > p->starttime_value)) domain_err(&v[2]->loc, "TIME Range Ends Before It Starts");
  rdexpr_set_timedep(&v[2]->loc);
}
void rdomain_tby2(parse_node *r, parse_node *const *v) { the_problem()->deltat = constant(r, v[2]); }
void rdomain_haltdt(parse_node *r, parse_node *const *v) { the_problem()->haltdt = constant(r, v[3]); }

// ---- BOUNDARIES and regions ----------------------------------------------------------------------------

void rdomain_boundstart(parse_node *, parse_node *const *v) {
  TRACE("rdomain_boundstart");
  pde *p = the_problem();
  Domain *d = the_domain();
  if (p->nfield != the_formulas().equations.count) domain_err(&v[1]->loc, "Wrong Number of Equations");
  rdexpr_build_coords(&v[1]->loc);
  // A three-dimensional domain is the plane extruded between two surfaces at least.
  if (p->dimension == 3 && d->surfacetrees.count < 2) domain_err(&v[1]->loc, "EXTRUSION Required in 3D");
  if (d->surfacetrees.count == 0) trees_one_more(&d->surfacetrees, trees_new_1(op::realzero, &v[1]->loc));
  side_lists.surfaces = d->surfaces = d->surfacetrees.count;
  for (Table *t : side_tables) t->assign(side_lists.surfaces, std::vector<uint16_t>(p->nvars, 0));
  side_lists.sideset = side_lists.gsideset = 0;
  rdexpr_section = 0;
  rdexpr_region = rdexpr_layer = 0;
  rdomain_surface = rdomain_periodic = 0;
  side_lists.spacing = 0;
}

void rdomain_globalize(parse_node *, parse_node *const *) {
  side_lists.gsurf = side_lists.surf;
  side_lists.gsurftype = side_lists.surftype;
  side_lists.gside = side_lists.side;
  side_lists.gsidetype = side_lists.sidetype;
  side_lists.gsideset = side_lists.sideset;
}

static void nextregion(parse_node *r, parse_node *const *v, int32_t type) {
  Domain *d = the_domain();
  uint16_t n = regions_new_region(&d->regions, type, 0, 1);
  d->regions.data[n - 1].place = v[1]->loc;
  rdexpr_region = n;
  if (type == 1) vectorn_one_more(&d->excluded, n);
  side_lists.feature = type == 2;
  clear_bc(!side_lists.feature);  // a feature's paths lie inside the domain: no boundary defaults
  rdexpr_layer = 0;
  side_lists.end = v[1]->loc;
  give_result(r, n);
}
void rdomain_startregion(parse_node *r, parse_node *const *v) { nextregion(r, v, 0); }
void rdomain_startexclude(parse_node *r, parse_node *const *v) { nextregion(r, v, 1); }
void rdomain_startfeature(parse_node *r, parse_node *const *v) { nextregion(r, v, 2); }

void rdomain_tagregion(parse_node *, parse_node *const *v) {
  if (rdexpr_region) the_domain()->regions.data[rdexpr_region - 1].tag = uint16_t(v[2]->value.integer);
}
void rdomain_nameregion(parse_node *, parse_node *const *v) {
  if (!rdexpr_region) return;
  String s = domain_take_string(v[2], true);
  strings_moveto(&the_domain()->regions.data[rdexpr_region - 1].name, &s);
  strings_free_0(&s);
}

void rdomain_moreloop(parse_node *, parse_node *const *v) {
  if (rdexpr_region && v[2]->value.integer > 0)
    vectorn_enlist(&the_domain()->regions.data[rdexpr_region - 1].loops, uint16_t(v[2]->value.integer));
}

void rdomain_endregion(parse_node *, parse_node *const *) {
  TRACE("rdomain_endregion");
  pde *p = the_problem();
  Domain *d = the_domain();
  uint16_t n = rdexpr_region;
  d->reader[0] = d->joints.count, d->reader[1] = d->edges.count;
  d->reader[2] = d->loops.count, d->reader[3] = d->regions.count;
  if (!n) return;
  widen_all(std::max<uint16_t>(side_lists.surfaces, 1), p->nvars);
  vectorn &tags = d->regions.data[n - 1].lists[0];
  vectorn_resize(&tags, side_lists.surfaces, std::max<int32_t>(side_lists.surfaces, tags.capacity));
  for (uint16_t L = 1; L <= side_lists.surfaces; L++) {
    vectorn row = view(side_lists.surf, L);
    uint16_t t = bcs_make_bctag(&the_formulas().bcs, &row);
    d->regions.data[n - 1].lists[0].data[L - 1] = t;
  }
  int32_t type = d->regions.data[n - 1].type;
  if (type == 2) return;
  check_closed(n);
  if (type != 0) return;
  paramset *set = &the_formulas().definitions;
  for (int32_t k = 0; k < p->declared.count; k++) {
    uint16_t q = p->declared.data[k];
    if (q < 1 || q > set->count || params_check_definition(set, q, n)) continue;
    if (side_lists.surfaces < 2) undefined(set->items[q - 1], n, 0);
    for (uint16_t L = 1; L < side_lists.surfaces; L++) {
      if (vectorl_inlist(&d->voids, int32_t(L) * 512 + n))
        params_define_param(set, q, n, L, trees_new_1(op::realzero, &side_lists.end));
      else if (!params_check_layer_definition(set, q, n, L))
        undefined(set->items[q - 1], n, L);
    }
  }
}

void rdomain_meshspace(parse_node *r, parse_node *const *v) { spacing_expression(r, v, 1, true); }
void rdomain_meshdens(parse_node *r, parse_node *const *v) { spacing_expression(r, v, -1, true); }

// ---- Paths -----------------------------------------------------------------------------------------------

void rdomain_startpoint(parse_node *r, parse_node *const *v) {
  side_lists.loop = edges_new_loop(&the_domain()->loops);
  side_lists.joint = side_lists.start = make_joint(v[2]);
  rdexpr_layer = 0;
  rdomain_surface = 0;
  give_result(r, side_lists.loop);
}
void rdomain_namestart(parse_node *r, parse_node *const *v) {
  rdomain_startpoint(r, v + 1);
  String s = domain_take_string(v[2], true);
  strings_moveto(&the_domain()->loops.data[side_lists.loop - 1].name, &s);
  strings_free_0(&s);
}
void rdomain_fixstart(parse_node *r, parse_node *const *v) {
  uint16_t j = make_joint(v[3]);
  joint(j).kind = 3;
  side_lists.start = j;
  side_lists.loop = 0;
  give_result(r, j);
}

void rdomain_topoint0(parse_node *r, parse_node *const *v) {
  give_result(r, make_joint(v[1]));
  r->loc = v[1]->loc;
}
void rdomain_topoint(parse_node *r, parse_node *const *v) {
  give_result(r, make_joint(v[2]));
  r->loc = v[2]->loc;
}
void rdomain_tofinish(parse_node *r, parse_node *const *v) {
  side_lists.last = side_lists.start;
  side_lists.end = v[1]->loc;
  give_result(r, side_lists.start);
}

void rdomain_startline(parse_node *, parse_node *const *v) { line_to(v[2]); }
void rdomain_moreline(parse_node *, parse_node *const *v) { line_to(v[2]); }

void rdomain_flushlayer(parse_node *, parse_node *const *) {
  rdexpr_layer = 0;
  rdomain_surface = 0;
  rdomain_periodic = 0;
  side_lists.spacing = 0;
}

// Arcs. Each arc action leaves in its value the signed number of the last edge it
// built, or 0 when it built none; a further TO point continues about that edge's centre.
void rdomain_arcctopoint(parse_node *r, parse_node *const *v) {
  double cx = v[1]->value.xyz[0], cy = v[1]->value.xyz[1];
  uint16_t j = uint16_t(v[2]->value.integer);
  int32_t e = 0;
  if (j != side_lists.joint) {
    e = make_arc(&v[2]->loc, j, 0, ARC_TWO_POINT_CENTER, cx, cy, 0, 0);
    arc_built(e, &v[2]->loc);
  }
  give_result(r, e);
}

void rdomain_arcrtopoint(parse_node *r, parse_node *const *v) {
  // A radius short of half the chord is the writer's error: it is reported at the
  // point rather than as a failure of the arc construction.
  uint16_t j = uint16_t(v[2]->value.integer);
  double radius = v[1]->value.real;
  const Joint &a = joint(side_lists.joint), &b = joint(j);
  double h2 = 0;
  if (std::max({std::fabs(radius), std::fabs(b.x - a.x), std::fabs(b.y - a.y)}) <= 1e150)
    h2 = ((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y)) / 4;
  if (h2 > 0 && radius * radius / h2 - 1 < -2 * std::fabs(the_domain()->grid.tolerance))
    domain_err(&v[2]->loc, "Radius too small for distance.");
  int32_t e = make_arc(&v[2]->loc, j, 0, ARC_TWO_POINT_RADIUS, 0, 0, radius, 0);
  arc_built(e, &v[2]->loc);
  give_result(r, e);
}

void rdomain_arccangle(parse_node *r, parse_node *const *v) {
  TRACE("rdomain_arccangle");
  double cx = v[1]->value.xyz[0], cy = v[1]->value.xyz[1];
  const TextLoc at = v[3]->loc;
  double a = number(r, v[3]);
  // A turn within 1e-5 of a full one (a full turn written to six digits, 6.28319
  // RADIANS or 360.001) is a full turn, so that the arc closes on its start; more is no
  // arc, nor is no number at all.
  if (std::fabs(std::fabs(a) - 360) <= 360 * 1e-5) a = std::copysign(360.0, a);
  if (!std::isfinite(a) || std::fabs(a) > 360) domain_err(&at, "BAD ARC SPECIFICATION");
  int32_t e = 0;
  if (a != 0) {
    const double limit = 0.6 * M_PI, turn = std::fabs(a) * kDegree;
    int n = std::max(1, int(std::ceil(turn / limit)));
    while (n > 1 && turn / (n - 1) <= limit) n--;
    while (turn / n > limit) n++;
    for (int k = 0; k < n; k++) {
      e = make_arc(&at, 0, 0, ARC_POINT_CENTER_ANGLE, cx, cy, 0, a / n * kDegree);
      arc_built(e, &at);
    }
  }
  give_result(r, e);
}

void rdomain_arctoptop(parse_node *r, parse_node *const *v) {
  uint16_t j1 = uint16_t(v[2]->value.integer), j2 = uint16_t(v[3]->value.integer);
  int32_t e = make_arc(&v[3]->loc, j1, j2, ARC_THREE_POINT, 0, 0, 0, 0);
  arc_built(e, &v[3]->loc);
  side_lists.joint = j1;
  give_result(r, continue_arc(e, v[3]));
}

void rdomain_arcstopoint(parse_node *r, parse_node *const *v) {
  give_result(r, continue_arc(v[1]->value.integer, v[2]));
}

void rdomain_arcrdangle(parse_node *, parse_node *const *v) { domain_err(&v[3]->loc, "UNIMPLEMENTED"); }
void rdomain_arcrd(parse_node *, parse_node *const *v) { domain_err(&v[5]->loc, "UNIMPLEMENTED"); }
void rdomain_arcrd1(parse_node *, parse_node *const *v) { domain_err(&v[6]->loc, "UNIMPLEMENTED"); }
void rdomain_setradius(parse_node *r, parse_node *const *v) { r->value.real = number(r, v[2]); }
void rdomain_setdir(parse_node *r, parse_node *const *v) { r->value.real = number(r, v[2]); }
void rdomain_arcr(parse_node *r, parse_node *const *v) { r->value = v[3]->value; }
void rdomain_arcc(parse_node *r, parse_node *const *v) { r->value = v[4]->value; }
void rdomain_arcc1(parse_node *r, parse_node *const *v) { r->value = v[5]->value; }

// RADIANS: the angle in degrees before it is folded.
void rdomain_radangle(parse_node *r, parse_node *const *v) {
  TreeNode *t = domain_take(r, v[1]);
  if (!t) return;
  TreeNode *q = trees_new_1(op::divop, &t->loc);
  q->arity = 2;
  q->child[0] = t;
  q->child[1] = trees_new_real_1(kDegree, &t->loc);
  r->tree = q;
}

void rdomain_fillet(parse_node *r, parse_node *const *v) { bevlet(r, v, 1); }
void rdomain_bevel(parse_node *r, parse_node *const *v) { bevlet(r, v, 2); }

void rdomain_perflag(parse_node *, parse_node *const *v) { rdomain_periodic_sign(1.0, &v[1]->loc); }
void rdomain_aperflag(parse_node *, parse_node *const *v) { rdomain_periodic_sign(-1.0, &v[1]->loc); }
void rdomain_periodic1(parse_node *r, parse_node *const *v) { new_periodic(r, v, 1); }
void rdomain_periodic2(parse_node *r, parse_node *const *v) { new_periodic(r, v, 2); }
void rdomain_periodic3(parse_node *r, parse_node *const *v) { new_periodic(r, v, 3); }

// ---- Conditions ---------------------------------------------------------------------------------------

void rdomain_natbc(parse_node *r, parse_node *const *v) { condition(r, v, naturalbc); }
void rdomain_valbc(parse_node *r, parse_node *const *v) { condition(r, v, valuebc); }
void rdomain_neubc(parse_node *r, parse_node *const *v) { condition(r, v, normalbc); }
void rdomain_tanbc(parse_node *r, parse_node *const *v) { condition(r, v, tanglbc); }
void rdomain_bcoff(parse_node *, parse_node *const *v) {
  setbc(varnum(v[3]), 0, 0);
  side_lists.end = v[4]->loc;
}
void rdomain_nodespace(parse_node *r, parse_node *const *v) { spacing_expression(r, v, 1, false); }
void rdomain_nodedens(parse_node *r, parse_node *const *v) { spacing_expression(r, v, -1, false); }

void rdomain_pointvalue(parse_node *r, parse_node *const *v) { point_condition(r, v, valuept); }
void rdomain_pointload(parse_node *r, parse_node *const *v) { point_condition(r, v, loadpt); }
void rdomain_pointbcs(parse_node *, parse_node *const *) {
  if (side_lists.point.empty()) return;
  vectorn row = view(side_lists.point, 1);
  uint16_t t = bcs_make_bctag(&the_formulas().bcs, &row);
  if (side_lists.last) joint(side_lists.last).bctag = t;
  for (Table *tb : {&side_lists.point, &side_lists.pointtype})
    for (auto &rw : *tb) std::fill(rw.begin(), rw.end(), 0);
}

// ---- Points -------------------------------------------------------------------------------------------

// A point's brackets must pair: "(" with ")" and "[" with "]".
static void mismatch(const parse_node *open, const parse_node *close) {
  if ((open->ch == '(' && close->ch == ']') || (open->ch == '[' && close->ch == ')'))
    domain_err(&close->loc, "PARENTHESIS MISMATCH");
}

// A coordinate past 1e300 is refused where it is written: the geometry built on it,
// the checks of its segments' lengths first, would overflow with no line to show.
static double coordinate(parse_node *r, parse_node *n) {
  double c = number(r, n);
  if (!(std::fabs(c) <= 1e300)) domain_err(&n->loc, "COORDINATE OUT OF RANGE");
  return c;
}

void rdomain_defpoint(parse_node *r, parse_node *const *v) {
  mismatch(v[1], v[4]);
  double x = coordinate(r, v[2]), y = coordinate(r, v[3]);
  r->value.xyz[0] = x, r->value.xyz[1] = y, r->value.xyz[2] = 0;
  r->loc = v[4]->loc;
}

void rdomain_defpoint3(parse_node *r, parse_node *const *v) {
  mismatch(v[1], v[5]);
  double x = coordinate(r, v[2]), y = coordinate(r, v[3]), z = coordinate(r, v[4]);
  r->value.xyz[0] = x, r->value.xyz[1] = y, r->value.xyz[2] = z;
  r->loc = v[5]->loc;
}

// Points without brackets (VAL and arc centres): the folded numbers in the value.
void rdomain_barepoint3(parse_node *r, parse_node *const *v) {
  double x = coordinate(r, v[1]), y = coordinate(r, v[2]), z = coordinate(r, v[3]);
  r->value.xyz[0] = x, r->value.xyz[1] = y, r->value.xyz[2] = z;
}

void rdomain_barepoint(parse_node *r, parse_node *const *v) {
  double x = coordinate(r, v[1]), y = coordinate(r, v[2]);
  r->value.xyz[0] = x, r->value.xyz[1] = y, r->value.xyz[2] = 0;
  r->loc = v[2]->loc;
}

// FIXED POINT in a region's path list: its joint is made by rdomain_fixstart.
void rdomain_fixpoint(parse_node *, parse_node *const *) {}

// The points of a LINE LIST or SPLINE become joints as they are read.
static void list_point(const parse_node *pt) {
  uint16_t j = make_joint(pt);
  side_lists.list.emplace_back(j, pt->loc);
}
void rdomain_startpointlist(parse_node *, parse_node *const *v) {
  side_lists.list.clear();
  list_point(v[2]);
}
void rdomain_listpoint(parse_node *, parse_node *const *v) { list_point(v[3]); }
void rdomain_listpoint0(parse_node *, parse_node *const *v) { list_point(v[2]); }

// LINE LIST: the polyline from the current joint through the listed points in turn.
void rdomain_endlinelist(parse_node *, parse_node *const *) {
  std::vector<std::pair<uint16_t, TextLoc>> list;
  list.swap(side_lists.list);
  for (auto &[j, place] : list) line_to_joint(j, &place);
}

// SPLINE: no curved segment through points is built; refused at its keyword rather
// than left out of the path.
void rdomain_spline(parse_node *, parse_node *const *v) {
  side_lists.list.clear();
  domain_err(&v[1]->loc, "SPLINE segments are not supported: use LINE LIST or ARC");
}

int rdomain_init() {
  TRACE("rdomain");
  return 0;
}
