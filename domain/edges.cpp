// edges: edge and loop tables, arc construction and the curve operations on edges.
#include "domain/edges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "runtime/bounding.h"
#include "domain/joints.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/lined.h"
#include "runtime/math.h"
#include "runtime/rtlib.h"

static const double pi = std::numbers::pi;
static const char *const shape_names[] = {"line", "arc", "erc", "conic", "spline", "line3", "eqn", "extrud"};

int edges_init() {
  TRACE("edges");
  return 0;
}

// Stops the current command with the message through the error hook, which reports it on
// the current problem. The text is held in static storage: nothing is allocated.
[[noreturn]] static void stop_command(const char *text) {
  static char buffer[64];
  snprintf(buffer, sizeof buffer, "%s", text);
  String message{uint16_t(strlen(buffer)), uint16_t(sizeof buffer - 1), buffer};
  except_uncle(&message);
}

static const Joint &joint(const jointtable *j, uint16_t n) { return j->data[n - 1]; }
static bool curved(const Edge &e) { return e.shape == SHAPE_ARC || e.shape == SHAPE_ERC; }

// ---- Edge table ------------------------------------------------------------------------

uint16_t edges_new_edge(edgetable *t, uint16_t j1, uint16_t j2) {
  TRACE("edges_new_edge");
  uint16_t n = domain_table_append(t, "NEW_EDGE");
  Edge &e = t->data[n - 1];
  e.number = n;
  e.joint1 = j1, e.joint2 = j2;
  e.shape = SHAPE_LINE;
  return n;
}

uint16_t edges_copy_edge(edgetable *t, const Edge *src) {
  TRACE("edges_copy_edge");
  Edge s = *src;  // the source may lie in the table that grows
  uint16_t n = edges_new_edge(t, s.joint1, s.joint2);
  Edge &e = t->data[n - 1];
  e.bctag = s.bctag;
  e.source = s.source;
  std::copy(s.side_regions, s.side_regions + 4, e.side_regions);
  e.feature = s.feature, e.external = s.external;
  e.shape = s.shape;
  e.length = s.length;
  e.box = s.box;
  strings_copyto_0(&e.name, &s.name);
  vectorn_copyto_0(&e.face_list, &s.face_list);
  vectorn_copyto_0(&e.layer_tags, &s.layer_tags);
  e.place = s.place;
  e.periodic = s.periodic, e.image = s.image;
  int values = s.shape == SHAPE_LINE ? 3 : s.shape == SHAPE_ARC || s.shape == SHAPE_ERC || s.shape == SHAPE_LINE3 ? 6 : 0;
  for (int k = 0; k < values; k++) e.shapedata.data[k] = s.shapedata.data[k];
  return n;
}

void edges_free_0(edgetable *t) {
  TRACE("edges_free_0");
  for (int32_t k = 0; k < t->capacity; k++) {
    Edge &e = t->data[k];
    strings_free_0(&e.name);
    vectorn_free(&e.face_list);
    vectorn_free(&e.layer_tags);
  }
  domain_table_drop(t);
}

void edges_bound_edge(Edge *e, const jointtable *j, BoundingGrid *g) {
  TRACE("edges_bound_edge");
  const Joint &a = joint(j, e->joint1), &b = joint(j, e->joint2);
  e->box.x1 = std::min(a.x, b.x), e->box.x2 = std::max(a.x, b.x);
  e->box.y1 = std::min(a.y, b.y), e->box.y2 = std::max(a.y, b.y);
  if (curved(*e)) {
    const arcrec &r = e->shapedata.arc;
    if (edges_on_arc(&r, r.cx + r.rx, r.cy, 0)) e->box.x2 = r.cx + r.rx;
    if (edges_on_arc(&r, r.cx - r.rx, r.cy, 0)) e->box.x1 = r.cx - r.rx;
    if (edges_on_arc(&r, r.cx, r.cy + r.ry, 0)) e->box.y2 = r.cy + r.ry;
    if (edges_on_arc(&r, r.cx, r.cy - r.ry, 0)) e->box.y1 = r.cy - r.ry;
  }
  // An extrusion edge is bounded before its length is known; it does not lower the seed.
  if (e->length <= g->seed && (e->length > 0 || e->shape != SHAPE_EXTRUD)) g->seed = e->length;
}

void edges_make_line_params(Edge *e, const jointtable *j) {
  TRACE("edges_make_line_params");
  const Joint &a = joint(j, e->joint1), &b = joint(j, e->joint2);
  e->shape = SHAPE_LINE;
  lined_line_params(e->shapedata.data, &a.x, &b.x);
  e->length = std::hypot(b.x - a.x, b.y - a.y);
}

void edges_make_line3_params(Edge *e, const jointtable *j) {
  TRACE("make_line3_params");
  const Joint &a = joint(j, e->joint1), &b = joint(j, e->joint2);
  e->shape = SHAPE_LINE3;
  lined_line3_params_0(e->shapedata.data, &a.x, &b.x);
  e->length = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
}

// The first edge accepted by same() joining j1 and j2: +n when it runs from j1, -n back.
template <class Same>
static int32_t find_edge(const edgetable *t, uint16_t j1, uint16_t j2, Same same) {
  for (int32_t k = 0; k < t->count; k++) {
    const Edge &e = t->data[k];
    if (!same(e)) continue;
    if (e.joint1 == j1 && e.joint2 == j2) return e.number;
    if (e.joint1 == j2 && e.joint2 == j1) return -int32_t(e.number);
  }
  return 0;
}

// Find-or-make of a straight edge of the shape whose geometry params() sets.
static int32_t new_straight(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g,
                            void (*params)(Edge *, const jointtable *)) {
  uint16_t n = edges_new_edge(t, j1, j2);
  params(&t->data[n - 1], j);
  edges_bound_edge(&t->data[n - 1], j, g);
  return n;
}
static int32_t make_straight(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g,
                             int32_t shape, void (*params)(Edge *, const jointtable *)) {
  if (int32_t n = find_edge(t, j1, j2, [shape](const Edge &e) { return e.shape == shape; })) return n;
  return new_straight(t, j, j1, j2, g, params);
}

int32_t edges_make_line_edge(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g) {
  TRACE("edges_make_line_edge");
  return make_straight(t, j, j1, j2, g, SHAPE_LINE, edges_make_line_params);
}

int32_t edges_make_line_edge_1(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g,
                               EdgeIndex *index) {
  TRACE("edges_make_line_edge_1");
  EdgeIndex &ix = *index;
  if (ix.table != t || t->count < ix.indexed) ix.table = t, ix.indexed = 0, ix.pairs.clear();
  auto pair = [](uint16_t a, uint16_t b) { return uint32_t(std::min(a, b)) << 16 | std::max(a, b); };
  for (; ix.indexed < t->count; ix.indexed++)
    ix.pairs[pair(t->data[ix.indexed].joint1, t->data[ix.indexed].joint2)].push_back(uint16_t(ix.indexed + 1));
  // The first line of the pair in number order, as the pass over every edge finds it.
  auto at = ix.pairs.find(pair(j1, j2));
  if (at != ix.pairs.end())
    for (uint16_t n : at->second) {
      const Edge &e = t->data[n - 1];
      if (e.shape != SHAPE_LINE) continue;
      if (e.joint1 == j1 && e.joint2 == j2) return e.number;
      if (e.joint1 == j2 && e.joint2 == j1) return -int32_t(e.number);
    }
  return new_straight(t, j, j1, j2, g, edges_make_line_params);
}

int32_t edges_make_line3_edge(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g) {
  TRACE("edges_make_line3_edge");
  return make_straight(t, j, j1, j2, g, SHAPE_LINE3, edges_make_line3_params);
}

int32_t edges_make_extrud_edge(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g,
                               const edgetable *base, uint16_t source, uint16_t surface) {
  TRACE("edges_make_extrud_edge");
  auto same = [&](const Edge &e) {
    return e.shape == SHAPE_EXTRUD && e.shapedata.base == base && e.source == source && e.surface == surface;
  };
  if (int32_t n = find_edge(t, j1, j2, same)) return n;
  uint16_t n = edges_new_edge(t, j1, j2);
  Edge &e = t->data[n - 1];
  e.shape = SHAPE_EXTRUD;
  edges_bound_edge(&e, j, g);
  e.shapedata.base = base;
  e.source = source;
  e.surface = surface;
  return n;
}

void edges_joinings(const edgetable *t, jointtable *j) {
  TRACE("edges_joinings");
  for (int32_t k = 0; k < j->count; k++) j->data[k].edges.count = 0;
  for (int32_t k = 0; k < t->count; k++) {
    const Edge &e = t->data[k];
    if (e.joint1) vectorn_insert_0(&j->data[e.joint1 - 1].edges, e.number);
    if (e.joint2) vectorn_insert_0(&j->data[e.joint2 - 1].edges, e.number);
  }
}

void edges_print_0(FILE *f, const edgetable *t, uint16_t n) {
  TRACE("edges_print_0");
  const Edge &e = t->data[n - 1];
  auto name = [](int32_t s) { return s >= 0 && s <= 7 ? shape_names[s] : "?"; };
  fprintf(f, "Edge %5d  Joints %4d to %4d BCTAG=%d ", e.number, e.joint1, e.joint2, e.bctag);
  if (e.layer_tags.count) {
    fputs("(", f);
    for (int32_t k = 0; k < e.layer_tags.count; k++) fprintf(f, " %d", e.layer_tags.data[k]);
    fputs(")", f);
  }
  fputs(" type=", f);
  if (e.shape == SHAPE_EXTRUD)
    fprintf(f, "lifted(%d %s) ", e.source,
            e.source >= 1 && e.source <= t->count ? name(t->data[e.source - 1].shape) : "?");
  else
    fprintf(f, "%s ", name(e.shape));
  String s{};
  strings_fmt(&s, e.length);
  fprintf(f, "length=%s regions %d,%d", s.text, e.side_regions[0], e.side_regions[1]);
  strings_free_0(&s);
  if (e.side_regions[2] || e.side_regions[3]) fprintf(f, ",%d,%d", e.side_regions[2], e.side_regions[3]);
  if (e.name.length) fprintf(f, " name=%s", e.name.text);
  fputs(e.feature ? " feature" : e.external ? " external" : " interior", f);
  if (e.periodic) fprintf(f, " periodic=%d", e.periodic);
  if (e.image) fprintf(f, " image=%d", e.image);
  fputs("\n", f);
  if (e.face_list.count) {
    fprintf(f, "%5d Faces: ", e.face_list.count);
    for (int32_t k = 0; k < e.face_list.count; k++) fprintf(f, "%5d", e.face_list.data[k]);
    fputs("\n", f);
  }
}

// ---- Loops ---------------------------------------------------------------------------------

uint16_t edges_new_loop(looptable *t) {
  TRACE("edges_new_loop");
  uint16_t n = domain_table_append(t, "NEW_LOOP");
  t->data[n - 1].number = n;
  return n;
}

uint16_t edges_copy_loop(looptable *t, const Loop *src) {
  TRACE("edges_copy_loop");
  Loop s = *src;  // the source may lie in the table that grows
  uint16_t n = edges_new_loop(t);
  strings_copyto_0(&t->data[n - 1].name, &s.name);
  vectorl_copyto_0(&t->data[n - 1].edges, &s.edges);
  return n;
}

void edges_add_to_loop(looptable *t, uint16_t loop, int32_t edge) {
  TRACE("edges_add_to_loop");
  vectorl_enlist(&t->data[loop - 1].edges, edge);
}

void edges_free_1(looptable *t) {
  TRACE("edges_free_1");
  for (int32_t k = 0; k < t->capacity; k++) {
    strings_free_0(&t->data[k].name);
    vectorl_free(&t->data[k].edges);
  }
  domain_table_drop(t);
}

void edges_print_1(FILE *f, const looptable *t, uint16_t n) {
  TRACE("edges_print_1");
  const Loop &l = t->data[n - 1];
  fprintf(f, "Loop%5d has %4d Edges", l.number, l.edges.count);
  if (l.name.length) fprintf(f, ", name=%s", l.name.text);
  fputs("\n", f);
  for (int32_t k = 0; k < l.edges.count; k++) {
    fprintf(f, "%5d", l.edges.data[k]);
    if ((k + 1) % 10 == 0 || k + 1 == l.edges.count) fputs("\n", f);
  }
}

// ---- Arcs ------------------------------------------------------------------------------------

// Set by a construction that cannot make an arc; one edges_make_arc_edge at a time.
static bool arc_error = false;

// The parametric angle of (x, y) on the arc's ellipse, in [0, 2 pi).
static double param_angle(const arcrec &a, double x, double y) {
  return math_rangle_0(0, 0, (x - a.cx) * a.ry, (y - a.cy) * a.rx);
}

// An angle brought into [-pi, pi].
static double wrap(double a) { return a > pi ? a - 2 * pi : a < -pi ? a + 2 * pi : a; }

static void make_angles(arcrec *a, const Joint &j1, const Joint &j2) {
  a->start = param_angle(*a, j1.x, j1.y);
  a->sweep = wrap(param_angle(*a, j2.x, j2.y) - a->start);
}

static void infer_arc3(arcrec *a, const Joint &p1, const Joint &p2, const Joint &p3) {
  double x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y, x3 = p3.x, y3 = p3.y;
  double D = (x2 - x3) * (y2 - y1) - (x1 - x2) * (y3 - y2);
  if (D == 0) {
    arc_error = true;
    return;
  }
  a->cx = (((x2 - x3) * (x2 + x3) + (y3 - y2) * (y1 - y3)) * (y2 - y1) - (x1 - x2) * (x1 + x2) * (y3 - y2)) / (2 * D);
  if (std::fabs(y2 - y1) <= std::fabs(y3 - y2))
    a->cy = (y3 + y2 - (x2 + x3 - 2 * a->cx) * (x2 - x3) / (y3 - y2)) / 2;
  else
    a->cy = (y2 + y1 - (x1 + x2 - 2 * a->cx) * (x1 - x2) / (y2 - y1)) / 2;
  a->rx = a->ry = std::hypot(x1 - a->cx, y1 - a->cy);
  make_angles(a, p1, p2);
}

// The circle or axis-aligned ellipse about (x, y) through both joints; its shape code,
// or 0 with arc_error set when there is none (a joint at the centre, equal squares).
static int32_t infer_arc2c(arcrec *a, const Joint &j1, const Joint &j2, double x, double y) {
  a->cx = x, a->cy = y;
  double u1 = j1.x - x, w1 = j1.y - y, u2 = j2.x - x, w2 = j2.y - y;
  double d1 = u1 * u1 + w1 * w1, d2 = u2 * u2 + w2 * w2;
  int32_t shape = SHAPE_ARC;
  if (d1 == 0 || d2 == 0) {
    arc_error = true;
    return 0;
  }
  if (std::fabs(d1 - d2) <= 1e-6 * (d1 + d2)) {
    a->rx = a->ry = std::sqrt(d2);
  } else if (w1 * w1 != w2 * w2 && u1 * u1 != u2 * u2) {
    double N = u2 * u2 * w1 * w1 - w2 * w2 * u1 * u1;
    a->rx = std::sqrt(std::fabs(N / (w1 * w1 - w2 * w2)));
    a->ry = std::sqrt(std::fabs(N / (u2 * u2 - u1 * u1)));
    shape = SHAPE_ERC;
    if (a->rx == 0 || a->ry == 0) {
      arc_error = true;
      return 0;
    }
  } else {
    arc_error = true;
    return 0;
  }
  make_angles(a, j1, j2);
  return shape;
}

bool edges_infer_arc2r(arcrec *a, const Joint *j1, const Joint *j2, double r, double tol) {
  TRACE("edges_infer_arc2r");
  double mx = (j1->x + j2->x) / 2, my = (j1->y + j2->y) / 2;
  double dx = mx - j1->x, dy = my - j1->y, h2 = dx * dx + dy * dy;
  if (h2 == 0) {
    arc_error = true;
    return false;
  }
  double q = r * r / h2 - 1;
  if (q < -2 * std::fabs(tol)) stop_command("Radius too small for distance.");
  double s = std::sqrt(std::fabs(q));
  if (r > 0)
    a->cx = mx - s * dy, a->cy = my + s * dx;
  else
    a->cx = mx + s * dy, a->cy = my - s * dx;
  a->rx = a->ry = std::fabs(r);
  make_angles(a, *j1, *j2);
  // On a diameter the sign cannot choose a side: the arc turns counter-clockwise from
  // either end, so that two half-circles drawn one after the other close a circle.
  if (std::fabs(std::fabs(a->sweep) - pi) < 1e-9) a->sweep = pi;
  return true;
}

// From j1 about (x, y) by angle: the end joint (made or found), 0 with arc_error set
// when the centre is the start or the end comes back to it.
static uint16_t infer_arcca(arcrec *a, jointtable *j, uint16_t j1, double x, double y, double angle,
                            BoundingGrid *g) {
  const Joint s = joint(j, j1);
  double dx = s.x - x, dy = s.y - y;
  if (dx == 0 && dy == 0) {
    arc_error = true;
    return 0;
  }
  double ex = x + dx * std::cos(angle) - dy * std::sin(angle), ey = y + dy * std::cos(angle) + dx * std::sin(angle);
  uint16_t end = joints_make_joint_1(j, ex, ey, g);
  a->cx = x, a->cy = y;
  a->rx = a->ry = std::hypot(dx, dy);
  a->start = math_rangle_0(x, y, s.x, s.y);
  a->sweep = angle;
  return end;
}

// Start and sweep taken from the joints as they now stand, the sweep kept within half a
// turn of its former value so the arc turns the same way and as far. A joint reused or
// moved onto the grid otherwise leaves the arc ending short of it.
static void fit_angles(arcrec *a, const Joint &j1, const Joint &j2) {
  double start = param_angle(*a, j1.x, j1.y);
  double sweep = param_angle(*a, j2.x, j2.y) - start;
  sweep += 2 * pi * std::round((a->sweep - sweep) / (2 * pi));
  a->start = start, a->sweep = sweep;
}

void edges_fit_arcs(edgetable *t, const jointtable *j) {
  TRACE("edges_fit_arcs");
  for (int32_t k = 0; k < t->count; k++) {
    Edge &e = t->data[k];
    if (!curved(e)) continue;
    fit_angles(&e.shapedata.arc, joint(j, e.joint1), joint(j, e.joint2));
    if (e.shape == SHAPE_ARC)
      e.length = std::fabs(e.shapedata.arc.sweep * e.shapedata.arc.rx);
    else
      e.length = std::fabs(edges_get_dist(&e, j, &joint(j, e.joint2).x));
  }
}

static int32_t finish_arc_edge(edgetable *t, arcrec a, jointtable *j, uint16_t j1, uint16_t end,
                               BoundingGrid *g, int32_t shape) {
  if (arc_error || j1 == end) return 0;
  const Joint &p = joint(j, j1), &q = joint(j, end);
  fit_angles(&a, p, q);
  double chord = std::hypot(q.x - p.x, q.y - p.y);
  // A short arc whose radius passes 1e8 chords bulges from its chord by less than 1.25e-9 of
  // it, while its points, reckoned from a centre that far off, lose more than 1e-8 of it to
  // rounding (at 1e20 chords they scattered over the plane): it is made as its chord. (An arc
  // the long way round that nearly closes is no chord; its ends meet within the joints'
  // tolerance, a millionth of the drawing, long before.)
  if (std::fabs(a.sweep) <= pi && std::min(a.rx, a.ry) > 1e8 * chord) return edges_make_line_edge(t, j, j1, end, g);
  for (int32_t k = 0; k < t->count; k++) {
    const Edge &e = t->data[k];
    if (!curved(e)) continue;
    bool fwd = e.joint1 == j1 && e.joint2 == end, back = e.joint1 == end && e.joint2 == j1;
    if (!fwd && !back) continue;
    const arcrec &o = e.shapedata.arc;
    double tol = 0.01 * std::min(std::sqrt(o.rx * o.ry), chord);
    if (std::fabs(o.cx - a.cx) < tol && std::fabs(o.cy - a.cy) < tol && std::fabs(o.rx - a.rx) < tol &&
        std::fabs(o.ry - a.ry) < tol && edges_same_sweep(&o, &a))
      return fwd ? e.number : -int32_t(e.number);
  }
  uint16_t n = edges_new_edge(t, j1, end);
  Edge &e = t->data[n - 1];
  e.shape = shape;
  e.shapedata.arc = a;
  if (shape == SHAPE_ARC)
    e.length = std::fabs(a.sweep * a.rx);
  else
    e.length = std::fabs(edges_get_dist(&e, j, &q.x));
  edges_bound_edge(&e, j, g);
  bounding_check_bounds_3(g, &e.box);
  return n;
}

int32_t edges_make_arc_edge(edgetable *t, jointtable *j, uint16_t j1, uint16_t j2, uint16_t j3, int32_t kind, double x,
                            double y, double radius, double angle, BoundingGrid *g) {
  TRACE("edges_make_arc_edge");
  arc_error = false;
  arcrec a{};
  int32_t shape = SHAPE_ARC;
  uint16_t end = j2;
  switch (kind) {
    case ARC_THREE_POINT:
      infer_arc3(&a, joint(j, j1), joint(j, j2), joint(j, j3));
      break;
    case ARC_TWO_POINT_CENTER:
      shape = infer_arc2c(&a, joint(j, j1), joint(j, j2), x, y);
      break;
    case ARC_TWO_POINT_RADIUS:
      edges_infer_arc2r(&a, &joint(j, j1), &joint(j, j2), radius, g->tolerance);
      break;
    case ARC_POINT_CENTER_ANGLE:
      end = infer_arcca(&a, j, j1, x, y, angle, g);
      break;
    default:
      arc_error = true;
  }
  return finish_arc_edge(t, a, j, j1, end, g, shape);
}

bool edges_on_arc(const arcrec *a, double x, double y, double tol) {
  double al = wrap(param_angle(*a, x, y) - a->start);
  return al * a->sweep > -tol && std::fabs(al) < std::fabs(a->sweep) + tol;
}

bool edges_same_sweep(const arcrec *a, const arcrec *b) {
  double mid = b->start + b->sweep / 2;
  return edges_on_arc(a, b->cx + b->rx * std::cos(mid), b->cy + b->ry * std::sin(mid), 1e-3);
}

// ---- Curve operations --------------------------------------------------------------------------

static const double gauss_x[3] = {-0.7745966692, 0, 0.7745966692};
static const double gauss_w[3] = {0.5555555556, 0.8888888888, 0.5555555556};

// Length per radian of the ellipse at parameter t.
static double speed(double t, double rx, double ry) { return std::hypot(rx * std::sin(t), ry * std::cos(t)); }

double edges_erc_length(double t0, double d, double rx, double ry) {
  double h = d / 2, sum = 0;
  for (int i = 0; i < 3; i++) sum += gauss_w[i] * speed(t0 + h + h * gauss_x[i], rx, ry);
  return h * sum;
}

double edges_get_dist(const Edge *e, const jointtable *j, const double p[2]) {
  TRACE("edges_get_dist");
  const Joint &a = joint(j, e->joint1);
  const arcrec &r = e->shapedata.arc;
  switch (e->shape) {
    case SHAPE_LINE:
      return std::hypot(p[0] - a.x, p[1] - a.y);
    case SHAPE_ARC: {
      // Rounding may put a point a hair beyond the diameter: asin takes at most 1.
      double s = std::clamp(std::hypot(p[0] - a.x, p[1] - a.y) / 2 / r.rx, -1.0, 1.0);
      return std::fabs(s) >= 0.001 ? 2 * r.rx * std::asin(s) : 2 * r.rx * s * (1 + s * s / 6);
    }
    case SHAPE_ERC:
      return edges_erc_length(r.start, wrap(param_angle(r, p[0], p[1]) - r.start), r.rx, r.ry);
    default:
      stop_command("BAD EDGE SHAPE");
  }
}

double edges_erc_rad(const Edge *e, const double p[2]) {
  const arcrec &r = e->shapedata.arc;
  double k = (r.ry / r.rx) * (r.ry / r.rx), dx = p[0] - r.cx, dy = p[1] - r.cy;
  double S = k * k * dx * dx + dy * dy;
  return std::pow(S, 1.5) / (k * dy * dy + k * k * dx * dx);
}

// Newton's method on the Gauss-rule length, kept inside a bracket of the root: the rule's
// length over delta lies between delta times the smaller and the larger radius, so the
// root lies between d / max and d / min. On an eccentric ellipse the rule's length is not
// monotone and plain Newton steps can run off to hundreds of radians; a step that leaves
// the bracket is replaced by its midpoint.
double edges_erc_move(double d, double t0, double rx, double ry) {
  double big = std::max(rx, ry), small = std::min(rx, ry);
  double delta = d / big;
  if (d == 0) return 0;
  double far = small > 0 ? 1.001 * d / small : d > 0 ? HUGE_VAL : -HUGE_VAL;
  double lo = std::min(delta, far), hi = std::max(delta, far);
  for (int step = 0; step < 50; step++) {
    double h = delta / 2, L = 0, Lp = 0;
    for (int i = 0; i < 3; i++) {
      double t = t0 + h + h * gauss_x[i], s = speed(t, rx, ry);
      L += gauss_w[i] * s;
      Lp += (gauss_x[i] + 1) * gauss_w[i] * (rx * rx - ry * ry) * std::cos(t) * std::sin(t) / s;
    }
    double F = h * L - d;
    (F > 0 ? hi : lo) = delta;
    double change = -F / ((h * Lp + L) * 0.5), next = delta + change;
    if (!(lo < next && next < hi)) {
      delta = (lo + hi) / 2;
      continue;
    }
    delta = next;
    if (std::fabs(change) < 1e-6) break;
  }
  return delta;
}

void edges_move_dist(const Edge *e, const jointtable *j, double d, double p[2]) {
  TRACE("edges_move_dist");
  d = std::min(d, e->length);
  const Joint &a = joint(j, e->joint1);
  const arcrec &r = e->shapedata.arc;
  const double *c = e->shapedata.data;
  switch (e->shape) {
    case SHAPE_LINE:
      p[0] = a.x - d * c[1], p[1] = a.y + d * c[0];
      return;
    case SHAPE_ARC: {
      double th = r.sweep < 0 ? -d / r.rx : d / r.rx, dx = a.x - r.cx, dy = a.y - r.cy;
      p[0] = r.cx + dx * std::cos(th) - dy * std::sin(th);
      p[1] = r.cy + dy * std::cos(th) + dx * std::sin(th);
      return;
    }
    case SHAPE_ERC: {
      double t = r.start + edges_erc_move(r.sweep < 0 ? -d : d, r.start, r.rx, r.ry);
      p[0] = r.cx + r.rx * std::cos(t), p[1] = r.cy + r.ry * std::sin(t);
      edges_push_to_bdry(e, p);
      return;
    }
    default:
      stop_command("BAD CURVETYPE");
  }
}

void edges_push_to_bdry(const Edge *e, double p[2]) {
  TRACE("edges_push_to_bdry");
  const arcrec &r = e->shapedata.arc;
  const double *c = e->shapedata.data;
  double dx = p[0] - r.cx, dy = p[1] - r.cy, lambda;
  switch (e->shape) {
    case SHAPE_LINE: {
      double g = c[1] * p[0] - c[0] * p[1];
      p[0] = g * c[1] - c[2] * c[0], p[1] = -c[2] * c[1] - g * c[0];
      return;
    }
    case SHAPE_ARC:
      if (dx == 0 && dy == 0) return;  // the centre has no radial direction
      lambda = r.rx / std::hypot(dx, dy);
      break;
    case SHAPE_ERC:
      if (dx == 0 && dy == 0) return;
      lambda = 1 / std::sqrt(dx * dx / (r.rx * r.rx) + dy * dy / (r.ry * r.ry));
      break;
    default:
      stop_command("ILLEGAL CURVE TYPE");
  }
  p[0] = r.cx + lambda * dx, p[1] = r.cy + lambda * dy;
}

double edges_edge_distance(const Edge *e, const jointtable *j, const double p[2], double q[2], double tol) {
  TRACE("edges_edge_distance");
  const Joint &a = joint(j, e->joint1), &b = joint(j, e->joint2);
  const arcrec &r = e->shapedata.arc;
  const double *c = e->shapedata.data;
  if (e->shape == SHAPE_LINE) {
    double delta = std::fabs(c[0] * p[0] + c[1] * p[1] + c[2]);
    q[0] = p[0], q[1] = p[1];
    edges_push_to_bdry(e, q);
    double reach = (tol + e->length) * (tol + e->length);
    auto d2 = [&](const Joint &k) { return (q[0] - k.x) * (q[0] - k.x) + (q[1] - k.y) * (q[1] - k.y); };
    if (d2(a) < reach && d2(b) < reach) return delta;
  } else if (curved(*e)) {
    if (std::hypot(p[0] - r.cx, p[1] - r.cy) > tol) {
      double al = wrap(param_angle(r, p[0], p[1]) - r.start);
      if (al * r.sweep > 0 && std::fabs(al) <= std::fabs(r.sweep)) {
        q[0] = p[0], q[1] = p[1];
        edges_push_to_bdry(e, q);
        return std::hypot(p[0] - q[0], p[1] - q[1]);
      }
    }
  } else {
    debug_printf("ILLEGAL SHAPE=%d\n", e->shape);
    stop_command("ILLEGAL SHAPE");
  }
  double d1 = std::hypot(p[0] - a.x, p[1] - a.y), d2 = std::hypot(p[0] - b.x, p[1] - b.y);
  const Joint &n = d1 < d2 ? a : b;
  q[0] = n.x, q[1] = n.y;
  return std::min(d1, d2);
}

uint16_t edges_cross_edge(pointdlist *L, const Edge *e, const jointtable *j, const double p0[2], const double p1[2],
                          double tol) {
  TRACE("edges_cross_edge");
  double dx = p1[0] - p0[0], dy = p1[1] - p0[1];
  if (dx * dx + dy * dy == 0) return 0;
  if (L->capacity < 2) pointd_resize_1(L, L->count, 2);
  const Joint &a = joint(j, e->joint1), &b = joint(j, e->joint2);
  uint16_t count = 0;
  if (e->shape == SHAPE_LINE) {
    double x[2];
    if (lined_insect_1(p0, p1, &a.x, &b.x, x, tol)) L->data[count++] = {x[0], x[1]};
  } else if (curved(*e)) {
    const arcrec &r = e->shapedata.arc;
    double rx2 = r.rx * r.rx, ry2 = r.ry * r.ry, ux = p0[0] - r.cx, uy = p0[1] - r.cy;
    double A = ry2 * dx * dx + rx2 * dy * dy;
    double m = -(rx2 * uy * dy + ry2 * ux * dx) / A;
    double D = m * m - (rx2 * uy * uy + ry2 * ux * ux - rx2 * ry2) / A;
    if (D > 0) {
      // Roots s2 then s1, so that a tie of distances keeps s2 first.
      double roots[2] = {m - std::sqrt(D), m + std::sqrt(D)}, dist[2];
      pointd pts[2];
      for (int k = 0; k < 2; k++) {
        double s = roots[k];
        pts[k] = {p0[0] + s * dx, p0[1] + s * dy};
        bool in = tol <= s && s <= 1 - tol && edges_on_arc(&r, pts[k].x, pts[k].y, -tol);
        dist[k] = in ? (pts[k].x - a.x) * (pts[k].x - a.x) + (pts[k].y - a.y) * (pts[k].y - a.y) : -1;
      }
      int first = dist[1] >= 0 && (dist[0] < 0 || dist[1] < dist[0]) ? 1 : 0;
      for (int k : {first, 1 - first})
        if (dist[k] >= 0) L->data[count++] = pts[k];
    }
  }
  L->count = count;
  return count;
}

int16_t edges_cross_arc_arc(pointdlist *L, const Edge *e1, const Edge *e2, const jointtable *j, double tol) {
  TRACE("edges_cross_arc_arc");
  double s = tol * e1->length, span = (1 - 2 * tol) * e1->length, step = 0.1 * span, P[2], prev[2];
  edges_move_dist(e1, j, s, P);
  do {
    prev[0] = P[0], prev[1] = P[1];
    edges_move_dist(e1, j, s + step, P);
    if (edges_cross_edge(L, e2, j, prev, P, 0)) {
      for (;;) {
        if (step <= 0.01 * span) {
          L->count = 1;
          double *x = &L->data[0].x;
          edges_push_to_bdry(e2, x);
          edges_push_to_bdry(e1, x);
          edges_push_to_bdry(e2, x);
          edges_push_to_bdry(e1, x);
          return 1;
        }
        step *= 0.1;
        edges_move_dist(e1, j, s + step, P);
        if (!edges_cross_edge(L, e2, j, prev, P, 0)) break;
      }
    }
    s += step;
  } while (s < span);
  return 0;
}

bool edges_cross_boundary(const edgetable *t, const jointtable *j, const double p0[2], const double p1[2], double q[2],
                          double tol) {
  TRACE("edges_cross_boundary");
  static pointdlist found{};  // the module's crossing list
  static BopmemWork found_work([] { pointd_free_1(&found); });
  for (int32_t k = 0; k < t->count; k++)
    if (edges_cross_edge(&found, &t->data[k], j, p0, p1, tol)) {
      q[0] = found.data[0].x, q[1] = found.data[0].y;
      return true;
    }
  return false;
}

uint8_t edges_cross_yline(const Edge *e, const jointtable *j, const double p[2]) {
  const Joint &a = joint(j, e->joint1), &b = joint(j, e->joint2);
  const arcrec &r = e->shapedata.arc;
  double W;
  switch (e->shape) {
    case SHAPE_LINE: {
      double ylo = std::min(a.y, b.y), yhi = std::max(a.y, b.y);
      if (!(ylo < p[1] && p[1] < yhi)) return 0;
      return a.x + (p[1] - a.y) * (b.x - a.x) / (b.y - a.y) <= p[0] ? 1 : 0;
    }
    case SHAPE_ARC:
      W = r.rx * r.rx - (p[1] - r.cy) * (p[1] - r.cy);
      break;
    case SHAPE_ERC:
      W = r.rx * r.rx * (1 - ((p[1] - r.cy) / r.ry) * ((p[1] - r.cy) / r.ry));
      break;
    default:
      return 0;
  }
  if (W <= 0) return 0;
  uint8_t n = 0;
  double xa = r.cx - std::sqrt(W), xb = r.cx + std::sqrt(W);
  if (xa < p[0] && edges_on_arc(&r, xa, p[1], 0)) n++;
  if (xb < p[0] && edges_on_arc(&r, xb, p[1], 0)) n++;
  return n;
}

// A part of a split arc or erc rebuilt from its joints about the old centre; it takes the
// shape the centre gives (a split joint off the circle makes an ellipse), or keeps the
// old curve when none fits.
static void rebuild_part(Edge *e, const arcrec &old, int32_t oldshape, const jointtable *j) {
  bool saved = arc_error;
  arc_error = false;
  arcrec a{};
  int32_t shape = infer_arc2c(&a, joint(j, e->joint1), joint(j, e->joint2), old.cx, old.cy);
  if (!shape) {
    a = old, shape = oldshape;
    make_angles(&a, joint(j, e->joint1), joint(j, e->joint2));
  }
  arc_error = saved;
  e->shape = shape;
  e->shapedata.arc = a;
  e->length = shape == SHAPE_ARC ? std::fabs(a.sweep * a.rx) : std::fabs(edges_erc_length(a.start, a.sweep, a.rx, a.ry));
}

uint16_t edges_split(edgetable *t, uint16_t n, const jointtable *j, uint16_t jn, BoundingGrid *g) {
  TRACE("edges_split");
  uint16_t m = edges_new_edge(t, t->data[n - 1].joint1, jn);
  Edge &old = t->data[n - 1], &e = t->data[m - 1];
  old.joint1 = jn;
  e.shape = old.shape;
  e.bctag = old.bctag;
  e.spacing = old.spacing;
  strings_copyto_0(&e.name, &old.name);
  e.feature = old.feature, e.external = old.external;
  e.place = old.place;
  if (old.shape == SHAPE_LINE) {
    edges_make_line_params(&e, j);
    edges_make_line_params(&old, j);
  } else if (curved(old)) {
    arcrec a = old.shapedata.arc;
    int32_t s = old.shape;
    rebuild_part(&e, a, s, j);
    rebuild_part(&old, a, s, j);
  }
  edges_bound_edge(&e, j, g);
  return m;
}
