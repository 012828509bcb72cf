// dominpde: boundary-condition tags on joints and edges, the preparation of a parsed
// domain for meshing, and materials. Errors with a source place are parse errors on the
// current problem; the conditions' tag table is the current problem's.
#include "domain/dominpde.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <optional>
#include <tuple>
#include <vector>

#include "model/pdedat_record.h"
#include "runtime/bounding.h"
#include "domain/dfeature.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/spatial.h"
#include "graphics/display.h"
#include "model/bcs.h"
#include "model/formulas.h"
#include "model/params.h"
#include "model/treeclas.h"
#include "model/treemods.h"
#include "model/treeval.h"
#include "runtime/arrayd.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/point3d.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

int dominpde_init() {
  TRACE("dominpde");
  return 0;
}

// A message in static storage, so that the jump that follows leaves nothing allocated.
static String message_text(const char *format, ...) {
  static char buffer[160];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return String{uint16_t(strlen(buffer)), uint16_t(sizeof buffer - 1), buffer};
}

[[noreturn]] static void parse_error(const TextLoc *place, const char *text) {
  String m = message_text("%s", text);
  report_parse_err_0(report_current, place, &m);
}

// A parse error at the source place of a periodic mapping.
[[noreturn]] static void mapping_error(TreeNode *mapping, const char *text) {
  String m = message_text("%s", text);
  report_parse_err_1(report_current, mapping, &m);
}

[[noreturn]] static void exec_error(const char *text) {
  String m = message_text("%s", text);
  report_exec_err_1(&m);
}

// The evaluator at a point of no cell, with the region as its current region for the
// call (put back on every exit).
struct region_scope {
  uint16_t saved = treeval_region;
  explicit region_scope(uint16_t r) { treeval_region = r; }
  ~region_scope() { treeval_region = saved; }
};

static double eval_at(pde *p, TreeNode *tree, double x, double y, double z, uint16_t region) {
  region_scope scope(region);
  evalpoint at{};
  at.x = x, at.y = y, at.z = z, at.region = region;
  return treeval_eval(p, tree, &at);
}

static void eval_vec_at(pde *p, double out[3], TreeNode *tree, double x, double y, double z, uint16_t region) {
  region_scope scope(region);
  evalpoint at{};
  at.x = x, at.y = y, at.z = z, at.region = region;
  treeval_eval_vec(p, out, tree, &at);
}


static double evaluate(pde *p, TreeNode *tree, const double *at, uint16_t region) {
  return eval_at(p, tree, at[0], at[1], 0, region);
}

static int32_t iabs(int32_t v) { return v < 0 ? -v : v; }
static bool curved_side(const Edge &e) { return e.shape == SHAPE_ARC || e.shape == SHAPE_ERC; }
static bool planar_side(const Edge &e) { return e.shape == SHAPE_LINE || curved_side(e); }

// A working vectorn released on every exit, the error jumps included.
struct worklist {
  vectorn v{};
  ~worklist() { vectorn_free(&v); }
};

// ---- Boundary conditions --------------------------------------------------------------

// The working list set to nvars zeros, then the tag's list copied in.
static void start_list(vectorn *w, uint16_t nvars, const bcset *s, uint16_t tag) {
  vectorn_resize(w, nvars, nvars);
  for (int32_t i = 0; i < w->count; i++) w->data[i] = 0;
  if (const vectorn *l = bcs_tag_list(s, tag)) {
    if (l->count > w->count) vectorn_resize(w, l->count, l->count);
    for (int32_t i = 0; i < l->count; i++) w->data[i] = l->data[i];
  }
}

static void merge_tag(const bcset *s, vectorn *w, uint16_t tag) {
  if (const vectorn *l = bcs_tag_list(s, tag)) bcs_merge_bctags(s, w, l);
}

// The tag of an entity's own conditions merged with those of the listed edges (may be
// null) and faces, in that order; w is the working list.
static uint16_t combine(pde *p, vectorn *w, uint16_t own, const vectorn *edges, const vectorn *faces) {
  const Domain *d = p->mesh.domain;
  bcset *s = &p->formulas.bcs;
  start_list(w, p->nvars, s, own);
  for (int32_t i = 0; edges && i < edges->count; i++) {
    uint16_t e = edges->data[i];
    if (e < 1 || e > d->edges.count) exec_error("INVALID EDGE ENTRY");
    merge_tag(s, w, d->edges.data[e - 1].bctag);
  }
  for (int32_t i = 0; i < faces->count; i++) {
    uint16_t f = faces->data[i];
    if (f >= 1 && f <= d->faces.count) merge_tag(s, w, d->faces.data[f - 1].bctag);
  }
  return bcs_make_bctag(s, w);
}

void dominpde_joint_bcs(pde *p) {
  TRACE("dominpde_joint_bcs");
  Domain *d = p->mesh.domain;
  worklist w;
  for (uint16_t k = 0; k < d->joints.count; k++) {
    Joint &j = d->joints.data[k];
    j.bctag = combine(p, &w.v, j.bctag, &j.edges, &j.faces);
  }
}

void dominpde_edge_bcs(pde *p) {
  TRACE("dominpde_edge_bcs");
  Domain *d = p->mesh.domain;
  worklist w;
  for (uint16_t k = 0; k < d->edges.count; k++) {
    Edge &e = d->edges.data[k];
    e.bctag = combine(p, &w.v, e.bctag, nullptr, &e.face_list);
  }
}

// ---- Splitting ----------------------------------------------------------------------------

uint16_t dominpde_split_edge(Domain *d, uint16_t e, uint16_t j) {
  TRACE("dominpde_split_edge");
  uint16_t n = edges_split(&d->edges, e, &d->joints, j, &d->grid);
  // Walking +e goes through n first; walking -e ends with -n.
  for (uint16_t l = 0; l < d->loops.count; l++) {
    vectorl &v = d->loops.data[l].edges;
    for (int32_t i = 1; i <= v.count; i++) {
      if (v.data[i - 1] == e) {
        vectorl_insert_1(&v, i, n);
        i++;
      } else if (v.data[i - 1] == -int32_t(e)) {
        vectorl_insert_1(&v, i + 1, -int32_t(n));
        i++;
      }
    }
  }
  Edge &old = d->edges.data[e - 1], &fresh = d->edges.data[n - 1];
  fresh.bctag = old.bctag;
  vectorn_copyto_0(&fresh.layer_tags, &old.layer_tags);
  if (old.periodic) {
    fresh.periodic = old.periodic;
    vectorn_one_more(&d->periodics.data[old.periodic - 1].sources, n);
    Joint &jt = d->joints.data[j - 1];
    if (jt.periodic == 0)
      jt.periodic = old.periodic;
    else if (jt.periodic != old.periodic)
      rtlib_fatal_in("dominpde_split_edge", "Intersecting Periodic Boundaries");
  }
  return n;
}

static bool ends_at(const Edge &e, uint16_t j) { return e.joint1 == j || e.joint2 == j; }

// The first crossing of edges a < b in P; false when they do not cross.
static bool crossing(Domain *d, uint16_t a, uint16_t b, pointdlist *L, double P[2]) {
  const Edge &e1 = d->edges.data[a - 1], &e2 = d->edges.data[b - 1];
  if (!planar_side(e1) || !planar_side(e2)) return false;
  if ((e1.joint1 == e2.joint1 && e1.joint2 == e2.joint2) || (e1.joint1 == e2.joint2 && e1.joint2 == e2.joint1))
    return false;
  const double tol = 0.001;
  const Joint *J = d->joints.data;
  uint16_t found;
  if (e1.shape == SHAPE_LINE)
    found = edges_cross_edge(L, &e2, &d->joints, &J[e1.joint1 - 1].x, &J[e1.joint2 - 1].x, tol);
  else if (curved_side(e2)) {
    const arcrec &r1 = e1.shapedata.arc, &r2 = e2.shapedata.arc;
    double s1 = std::max(std::fabs(r1.rx), std::fabs(r1.ry)), s2 = std::max(std::fabs(r2.rx), std::fabs(r2.ry));
    if (s1 + s2 < std::hypot(r1.cx - r2.cx, r1.cy - r2.cy)) return false;
    found = uint16_t(edges_cross_arc_arc(L, &e1, &e2, &d->joints, tol));
  } else found = edges_cross_edge(L, &e1, &d->joints, &J[e2.joint1 - 1].x, &J[e2.joint2 - 1].x, tol);
  if (!found) return false;
  P[0] = L->data[0].x, P[1] = L->data[0].y;
  return true;
}

struct pointlist_guard {
  pointdlist L{};
  ~pointlist_guard() { pointd_free_1(&L); }
};

// Lowers the grid scale to a power of ten at or below a thousandth of the shortest
// distance between a joint and an edge it does not lie on (farther than the tolerance),
// as it already is for the distance between two joints: a joint nearer an edge than the
// scale would be cut into it, the edge bent through the joint and the gap between them
// closed without a word.
static void scale_below_gaps(Domain *d) {
  const double tol = d->grid.tolerance;
  double least = DOMAIN_HUGE, N[2];
  for (uint16_t j = 1; j <= d->joints.count; j++) {
    const Joint &J = d->joints.data[j - 1];
    for (uint16_t e : spatial_edges_near(d, &J.x, std::min(1000 * d->grid.scale, least))) {
      const Edge &E = d->edges.data[e - 1];
      if (!planar_side(E) || ends_at(E, j)) continue;
      double dist = edges_edge_distance(&E, &d->joints, &J.x, N, tol);
      if (dist > tol && dist < least) least = dist;
    }
  }
  if (least < DOMAIN_HUGE)
    d->grid.scale = std::min(d->grid.scale, std::pow(10.0, std::floor(std::log10(0.001 * least))));
}

void dominpde_split_edges(Domain *d) {
  TRACE("dominpde_split_edges");
  // The lookups are built again after every cut: a cut changes one edge and adds one.
  std::optional<DomainIndexScope> lookups;
  lookups.emplace(d);
  scale_below_gaps(d);
  // A joint within the tolerance of an edge lies on it, whatever the scale.
  const double tol = d->grid.tolerance, scale = std::max(d->grid.scale, tol);
  // 1. Joints lying inside an edge, away from its ends. Only edges within the scale of
  // a joint can be cut at it; the parts a cut leaves end at the joint.
  auto cut_at_joints = [&] {
    bool any = false;
    for (uint16_t j = 1; j <= d->joints.count; j++) {
      bool cut = false;
      for (uint16_t e : spatial_edges_near(d, &d->joints.data[j - 1].x, scale)) {
        const Edge &E = d->edges.data[e - 1];
        if (!planar_side(E) || ends_at(E, j)) continue;
        double N[2];
        const Joint &J = d->joints.data[j - 1];
        double dist = edges_edge_distance(&E, &d->joints, &J.x, N, tol);
        if (dist >= scale) continue;
        const Joint &A = d->joints.data[E.joint1 - 1], &B = d->joints.data[E.joint2 - 1];
        if (std::hypot(N[0] - A.x, N[1] - A.y) > scale && std::hypot(N[0] - B.x, N[1] - B.y) > scale) {
          // A joint off the edge by more than a thousandth of the tolerance (not the
          // same line written twice) bends the edge: the log says where.
          if (dist > 1e-3 * tol && report_current) {
            String m = message_text("Point (%.10g,%.10g) joins a boundary %g from it", J.x, J.y, dist);
            report_parse_warning(report_current, &J.place, &m);
          }
          dominpde_split_edge(d, e, j), cut = true;
        }
      }
      if (cut) lookups.reset(), lookups.emplace(d), any = true;
    }
    return any;
  };
  cut_at_joints();
  // 2. Crossings, from the first pair again after every cut. An edge is never cut at one
  // of its own joints: a crossing whose joint ends both edges is none.
  pointlist_guard g;
  bool again = true;
  while (again) {
    again = false;
    for (uint16_t a = 1; a <= d->edges.count && !again; a++) {
      // Edges cross only where their boxes meet.
      for (uint16_t b : spatial_edges_near_edge(d, a, 0)) {
        if (b <= a) continue;
        if (again) break;
        double P[2];
        if (!crossing(d, a, b, &g.L, P)) continue;
        uint16_t j = joints_make_joint_1(&d->joints, P[0], P[1], &d->grid);
        bool on_a = ends_at(d->edges.data[a - 1], j), on_b = ends_at(d->edges.data[b - 1], j);
        if (on_a && on_b) continue;
        if (!on_b) dominpde_split_edge(d, b, j);
        if (!on_a) dominpde_split_edge(d, a, j);
        again = true;
      }
    }
    if (again) lookups.reset(), lookups.emplace(d);
    // A crossing's joint may lie inside a third edge, one that runs along either of the
    // two it cut (overlapping regions' collinear sides): that edge is cut there too, so
    // that coincident pieces end at the same joints and merge.
    if (!again) again = cut_at_joints();
  }
}

// ---- Merging -----------------------------------------------------------------------------

void replace_edge(Domain *d, uint16_t victim, int32_t keeper) {
  TRACE("replace_edge");
  uint16_t k = uint16_t(iabs(keeper));
  Edge &V = d->edges.data[victim - 1], &K = d->edges.data[k - 1];
  bcset *s = &report_current->formulas.bcs;
  // 1. Conditions.
  if (V.bctag && !K.bctag) {
    K.bctag = V.bctag;
  } else if (V.bctag && K.bctag != V.bctag && bcs_tag_list(s, V.bctag)) {
    worklist w;
    start_list(&w.v, 0, s, K.bctag);
    int32_t conflicts = bcs_merge_bctags(s, &w.v, bcs_tag_list(s, V.bctag));
    if (conflicts) {
      debug_printf("BC Conflict Edges (%d,%d) bctag %d::%d  Locator=(%d,%d,%d)\n", k, victim, K.bctag, V.bctag,
                   V.place.file, int(V.place.line), V.place.column);
      debug_printf("GPDE=%x \n", unsigned(reinterpret_cast<uintptr_t>(report_current)));
      if (debug_file) fflush(debug_file);
      parse_error(&V.place, "Multiple BC's Declared");
    }
    K.bctag = bcs_make_bctag(s, &w.v);
  }
  // 2. Node spacing.
  if (!K.spacing)
    K.spacing = V.spacing;
  else if (V.spacing > 0)
    parse_error(&V.place, "Multiple Node Spacing Definitions");
  // 3. Per-layer tags.
  if (!K.layer_tags.count) {
    vectorn_copyto_0(&K.layer_tags, &V.layer_tags);
  } else {
    for (int32_t i = 1; i <= V.layer_tags.count; i++) {
      uint16_t vt = V.layer_tags.data[i - 1];
      if (!vt) continue;
      if (i > K.layer_tags.count) vectorn_resize(&K.layer_tags, i, i);
      uint16_t &kt = K.layer_tags.data[i - 1];
      if (!kt) {
        kt = vt;
      } else if (kt != vt) {
        debug_printf("BC Conflict Edges (%d,%d) LAYER %d bctag %d::%d  Locator=(%d,%d,%d)\n", k, victim, i, kt, vt,
                     V.place.file, int(V.place.line), V.place.column);
        debug_printf("GPDE=%x \n", unsigned(reinterpret_cast<uintptr_t>(report_current)));
        if (debug_file) fflush(debug_file);
        parse_error(&V.place, "Multiple BC's Declared");
      }
    }
  }
  // 4. Loops: the victim's entries name the keeper with the entry's walking sign.
  for (uint16_t l = 0; l < d->loops.count; l++) {
    vectorl &v = d->loops.data[l].edges;
    for (int32_t i = 0; i < v.count; i++) {
      int32_t n = v.data[i], m = iabs(n);
      if (m == victim)
        v.data[i] = (n < 0 ? -1 : 1) * keeper;
      else if (m > victim)
        v.data[i] = n < 0 ? n + 1 : n - 1;
    }
  }
  // 5. Periodic declaration.
  K.periodic = std::max(K.periodic, V.periodic);
  // 6. Periodic source lists.
  for (uint16_t p = 0; p < d->periodics.count; p++) {
    vectorn &src = d->periodics.data[p].sources;
    for (int32_t i = 0; i < src.count; i++) {
      if (src.data[i] == victim)
        src.data[i] = k;
      else if (src.data[i] > victim)
        src.data[i]--;
    }
  }
  // 7. The table closes up.
  strings_free_0(&V.name);
  vectorn_free(&V.face_list);
  vectorn_free(&V.layer_tags);
  edgetable &t = d->edges;
  std::memmove(static_cast<void *>(&t.data[victim - 1]), &t.data[victim], size_t(t.count - victim) * sizeof(Edge));
  t.count--;
  std::memset(static_cast<void *>(&t.data[t.count]), 0, sizeof(Edge));
  for (uint16_t n = victim; n <= t.count; n++) t.data[n - 1].number = n;
}

void dominpde_merge_edges(Domain *d) {
  TRACE("dominpde_merge_edges");
  const double tol = d->grid.tolerance;
  // The edges grouped by the two joints they join, ascending within a group: only an
  // edge of a's group can be merged into a. A merge closes the table up, so the groups
  // are made again after it.
  std::vector<std::tuple<uint16_t, uint16_t, uint16_t>> groups;
  auto key = [&](uint16_t e) {
    const Edge &E = d->edges.data[e - 1];
    return std::pair{std::min(E.joint1, E.joint2), std::max(E.joint1, E.joint2)};
  };
  auto group = [&] {
    groups.clear();
    for (uint16_t e = 1; e <= d->edges.count; e++) groups.push_back({key(e).first, key(e).second, e});
    std::sort(groups.begin(), groups.end());
  };
  group();
  uint16_t a = 1;
  while (a < d->edges.count) {
    bool merged = false;
    auto [lo, hi] = key(a);
    auto at = std::upper_bound(groups.begin(), groups.end(), std::tuple{lo, hi, a});
    for (; at != groups.end() && std::get<0>(*at) == lo && std::get<1>(*at) == hi && !merged; ++at) {
      uint16_t b = std::get<2>(*at);
      const Edge &e1 = d->edges.data[a - 1], &e2 = d->edges.data[b - 1];
      bool same = e1.joint1 == e2.joint1 && e1.joint2 == e2.joint2;
      bool reversed = e1.joint1 == e2.joint2 && e1.joint2 == e2.joint1;
      if (!same && !reversed) continue;
      bool match = false;
      if (e1.shape == SHAPE_LINE)
        match = e2.shape == SHAPE_LINE;
      else if (curved_side(e1))
        match = curved_side(e2) && std::fabs(e1.shapedata.arc.cx - e2.shapedata.arc.cx) < tol &&
                std::fabs(e1.shapedata.arc.cy - e2.shapedata.arc.cy) < tol &&
                edges_same_sweep(&e1.shapedata.arc, &e2.shapedata.arc);
      if (!match) continue;
      replace_edge(d, b, same ? a : -int32_t(a));
      merged = true;
    }
    if (merged) group();
    else a++;
  }
}

// ---- Periodic boundaries -----------------------------------------------------------------

// The mapping tree with the problem's definitions substituted (in place) and its value
// kinds set.
static TreeNode *prepare_mapping(pde *p, TreeNode *mapping) {
  mapping = treemods_copy_params(p, mapping, 0, 0);
  treeclas_classify_value(p, mapping, 0, 0);
  return mapping;
}

static point3d map_point(const transform3d *T, double x, double y, double z) {
  point3d in{x, y, z}, out{};
  geom3d_rotate_0(&out, T, &in);
  return out;
}

void dominpde_get_transforms(pde *p, uint16_t dimension) {
  TRACE("dominpde_get_transforms");
  Domain *d = p->mesh.domain;
  for (uint16_t k = 0; k < d->periodics.count; k++) {
    periodic &P = d->periodics.data[k];
    // 1. The mapping with the definitions substituted.
    P.mapping = prepare_mapping(p, P.mapping);
    // 2.-5. The affine map through the images of the origin and the unit points.
    double o[3], x[3], y[3], z[3];
    eval_vec_at(p, o, P.mapping, 0, 0, 0, 0);
    eval_vec_at(p, x, P.mapping, 1, 0, 0, 0);
    eval_vec_at(p, y, P.mapping, 0, 1, 0, 0);
    double *t = P.forward.t;
    std::fill(t, t + 16, 0.0);
    t[10] = 1;
    t[3] = o[0], t[7] = o[1];
    t[0] = x[0] - o[0], t[4] = x[1] - o[1];
    t[1] = y[0] - o[0], t[5] = y[1] - o[1];
    if (dimension == 3) {
      t[11] = o[2], t[8] = x[2] - o[2], t[9] = y[2] - o[2];
      if (P.mapping->opcode == op::vector && P.mapping->arity == 3) {
        eval_vec_at(p, z, P.mapping, 0, 0, 1, 0);
        t[2] = z[0] - o[0], t[6] = z[1] - o[1], t[10] = z[2] - o[2];
      }
    }
    // 6. The inverse; a singular map has none.
    if (!geom3d_inverse_rotation(&P.inverse, &P.forward)) mapping_error(P.mapping, "Singular Transformation");
  }
}

uint16_t periodic_joint(const Domain *d, uint16_t j, uint16_t p) {
  const Joint &J = d->joints.data[j - 1];
  point3d q = map_point(&d->periodics.data[p - 1].forward, J.x, J.y, J.z);
  for (uint16_t k = 0; k < d->joints.count; k++) {
    const Joint &K = d->joints.data[k];
    if (std::hypot(K.x - q.x, K.y - q.y) < d->grid.tolerance) return uint16_t(k + 1);
  }
  return 0;
}

void dominpde_periodic_edges(Domain *d) {
  TRACE("dominpde_periodic_edges");
  if (d->perextrude) return;
  for (uint16_t p = 1; p <= d->periodics.count; p++) {
    periodic &P = d->periodics.data[p - 1];
    vectorn_resize(&P.images, P.sources.count, P.sources.count);
    for (int32_t i = 0; i < P.images.count; i++) P.images.data[i] = 0;
    for (int32_t i = 1; i <= P.sources.count; i++) {
      uint16_t en = P.sources.data[i - 1];
      Edge &e = d->edges.data[en - 1];
      uint16_t a = e.joint1, b = e.joint2;
      uint16_t ia = periodic_joint(d, a, p), ib = periodic_joint(d, b, p);
      if (!ia || !ib) mapping_error(P.mapping, "Periodic Boundaries Don't Match");
      for (uint16_t j : {a, b}) {
        const Joint &J = d->joints.data[j - 1];
        if (J.periodic && J.periodic != p && J.image != periodic_joint(d, j, p))
          mapping_error(P.mapping, "Multiple Periodic Images of One Point");
      }
      Joint &A = d->joints.data[a - 1], &B = d->joints.data[b - 1];
      A.periodic = p, A.image = ia;
      B.periodic = p, B.image = ib;
      for (uint16_t f = 1; f <= d->edges.count; f++) {
        const Edge &F = d->edges.data[f - 1];
        bool joins = (F.joint1 == ia && F.joint2 == ib) || (F.joint1 == ib && F.joint2 == ia);
        if (!joins || F.shape != e.shape) continue;
        // A map that carries the segment onto itself (near the identity) glues it to nothing.
        if (f == en) mapping_error(P.mapping, "Periodic Boundaries Don't Match");
        if (curved_side(e)) {
          point3d c = map_point(&P.forward, e.shapedata.arc.cx, e.shapedata.arc.cy, 0);
          const arcrec &r = F.shapedata.arc;
          if (std::hypot(c.x - r.cx, c.y - r.cy) >= d->grid.tolerance) {
            debug_printf("ARC CENTER (%g,%g) MAPS TO (%g,%g) IMAGE CENTER IS (%g,%g)\n", e.shapedata.arc.cx,
                         e.shapedata.arc.cy, c.x, c.y, r.cx, r.cy);
            mapping_error(P.mapping, "Periodic Arc Centers Don't Match");
          }
        }
        if (e.image) mapping_error(P.mapping, "Multiple Periodic Images of Segment");
        e.image = f;
        P.images.data[i - 1] = f;
        // The pair is one boundary glued to itself: as the periodic segment drops the
        // conditions in force, so does its image, where a condition still in force along
        // the path would hold one side alone and leave the answer not periodic.
        // The same holds in every layer of an extrusion.
        Edge &I = d->edges.data[f - 1];
        I.bctag = 0;
        for (int32_t k = 0; k < I.layer_tags.count; k++) I.layer_tags.data[k] = 0;
      }
    }
  }
}

void dominpde_check_images(const Domain *d) {
  if (d->perextrude) return;
  for (uint16_t p = 1; p <= d->periodics.count; p++) {
    const periodic &P = d->periodics.data[p - 1];
    for (int32_t i = 0; i < P.sources.count; i++) {
      const Edge &e = d->edges.data[P.sources.data[i] - 1];
      if (!e.external && (i >= P.images.count || !P.images.data[i]))
        mapping_error(P.mapping, "Periodic Boundaries Don't Match");
    }
  }
}

// ---- Regions at joints, surfaces and materials ------------------------------------------

void sheet_error(uint16_t surface, const char *message, const double *point) {
  String x{}, y{};
  strings_fmt(&x, point[0]);
  strings_fmt(&y, point[1]);
  String m = message_text("SURFACE %d %s AT (%s,%s)", surface, message, x.text ? x.text : "", y.text ? y.text : "");
  strings_free_0(&x);
  strings_free_0(&y);
  const Domain *d = report_current->mesh.domain;
  TextLoc place{};
  if (surface >= 1 && surface <= d->surfplaces.count) place = d->surfplaces.data[surface - 1];
  report_parse_err_0(report_current, &place, &m);
}

void dominpde_sort_materials(Domain *d, paramset *params) {
  TRACE("dominpde_sort_materials");
  vectorn_resize(&d->regmaterials, d->regions.count, d->regions.count);
  if (!d->regions.count) {
    d->materials = 0;
    return;
  }
  uint16_t made = 0;
  for (uint16_t r = 1; r <= d->regions.count; r++) {
    region &R = d->regions.data[r - 1];
    if (R.type == 2) continue;
    uint16_t material = 0;
    for (uint16_t q = 1; q < r && !material; q++) {
      const region &Q = d->regions.data[q - 1];
      bool equal = true;
      for (uint16_t k = 1; k <= (params ? params->count : 0) && equal; k++) {
        if (params->items[k - 1]->used) continue;
        equal = trees_compare(params_find_param_def(params, k, Q.defregion, Q.layer),
                              params_find_param_def(params, k, R.defregion, R.layer));
      }
      if (equal) material = Q.material;
    }
    if (!material) material = ++made;
    R.material = material;
    d->regmaterials.data[r - 1] = material;
  }
  d->materials = made;
}

// Every surface is continuous across the regions at every joint, and lies above the
// surface before it. A height past 1e30 is refused at the surface's line: the mesh keeps
// its spacings in single precision, and the cells' volumes take their cubes.
static void check_surfaces(pde *p, Domain *d) {
  for (uint16_t k = 0; k < d->joints.count; k++) {
    const Joint &j = d->joints.data[k];
    if (!j.regions.count) continue;
    double below = 0;
    for (uint16_t s = 1; s <= d->surfaces && s <= d->surfacetrees.count; s++) {
      double z1 = 0;
      for (int32_t i = 0; i < j.regions.count; i++) {
        double z = evaluate(p, d->surfacetrees.data[s - 1], &j.x, j.regions.data[i]);
        if (!(std::fabs(z) <= 1e30)) {
          TextLoc place{};
          if (s <= d->surfplaces.count) place = d->surfplaces.data[s - 1];
          parse_error(&place, "COORDINATE OUT OF RANGE");
        }
        bounding_check_bounds_2(&d->grid, j.x, j.y, z);
        if (i == 0)
          z1 = z;
        else if (std::fabs(z - z1) > d->grid.scale)
          sheet_error(s, "IS DISCONTINUOUS", &j.x);
      }
      if (s > 1 && z1 < below) sheet_error(s, "INTERSECTS", &j.x);
      below = z1;
    }
  }
}

void dominpde_find_reglist(pde *p) {
  TRACE("dominpde_find_reglist");
  Domain *d = p->mesh.domain;
  for (uint16_t k = 0; k < d->joints.count; k++) {
    Joint &j = d->joints.data[k];
    for (int32_t i = 0; i < j.edges.count; i++) {
      uint16_t e = j.edges.data[i];
      if (e < 1 || e > d->edges.count) exec_error("INVALID EDGE ENTRY");
      for (int s = 0; s < 2; s++)
        if (uint16_t r = d->edges.data[e - 1].side_regions[s]) vectorn_enlist(&j.regions, r);
    }
  }
  if (d->surfaces > 1) check_surfaces(p, d);
}

// ---- Boundary spacing -------------------------------------------------------------------


// The arc angle limit in radians: GRIDARC degrees, at most a quarter turn.
static double arc_limit(const pde *p) { return std::min(p->gridarc * 0.017453292, 1.5707963267948966); }

// A user spacing from the signed selector s at the point: MESH_SPACING (s > 0) as it
// stands, MESH_DENSITY (s < 0) as its reciprocal. Values that ask no positive spacing
// are none (DOMAIN_HUGE).
static double user_spacing(pde *p, int16_t s, const double *at, uint16_t region) {
  const treevector &list = p->formulas.spacing;
  int32_t k = s < 0 ? -s : s;
  if (k < 1 || k > list.count) return DOMAIN_HUGE;
  double v = evaluate(p, list.data[k - 1], at, region);
  if (!(v > 0)) return DOMAIN_HUGE;
  if (s < 0) return 1 / v;
  return v > DOMAIN_HUGE ? DOMAIN_HUGE : v;
}

double dominpde_user_feature(pde *p, const double *point, uint16_t region, uint16_t edge) {
  const Domain *d = p->mesh.domain;
  double h = DOMAIN_HUGE;
  if (edge && d->edges.data[edge - 1].spacing) h = user_spacing(p, d->edges.data[edge - 1].spacing, point, region);
  int16_t s = region && d->regions.data[region - 1].spacing ? d->regions.data[region - 1].spacing : d->spacing;
  if (s) h = std::min(h, user_spacing(p, s, point, region));
  return h;
}

double dominpde_threed_feature(pde *p, const Domain *d, const double *point, uint16_t region) {
  double h = DOMAIN_HUGE;
  if (!(p->steepness > 0) || d->surfaces <= 1) return h;
  for (uint16_t s = 1; s <= d->surfaces; s++) {
    if (s > d->regiontrees[2].count || s > d->regiontrees[1].count) break;
    const treevector &div = d->regiontrees[2].data[s - 1], &grad = d->regiontrees[1].data[s - 1];
    if (region < 1 || region > div.count || region > grad.count) continue;
    double c = evaluate(p, div.data[region - 1], point, region);
    if (std::fabs(c) <= 1e-37) continue;
    double z[3] = {};
    eval_vec_at(p, z, grad.data[region - 1], point[0], point[1], 0, region);
    h = std::min(h, 8 * p->steepness * std::sqrt(z[0] * z[0] + z[1] * z[1] + 1) / std::fabs(c));
  }
  return h;
}

// The status line shown while a pass runs, removed on every exit.
struct statusline {
  pad *panel;
  uint16_t line = 0;
  statusline(pad *p, const char *label) : panel(p) {
    if (!panel) return;
    String l{uint16_t(strlen(label)), uint16_t(strlen(label)), const_cast<char *>(label)};
    line = display_report(panel, 0, &l);
  }
  void update(int32_t n) {
    if (panel) display_update_num(panel, line, n);
  }
  bool stop() { return panel && display_checkkey(panel); }
  ~statusline() {
    if (panel && line) display_unreport(panel, line);
  }
};

// A narrow apex at one end of an edge: the spacing there may not exceed ASPECT times the
// gap to the edge beside, slope x (distance from the apex), nor fall below floor.
struct apexlaw {
  double slope = 0, floor = 0;  // slope 0: no narrow apex at that end
  double at(double s) const { return slope > 0 ? std::max(slope * s, floor) : DOMAIN_HUGE; }
};

// The spacing law at the samples of one edge (step 3 of the sample construction).
static void sample_spacings(pde *p, Domain *d, featureitem &it, double hcap, double ha, double hb, double A,
                            const apexlaw ends[2]) {
  const Edge &e = d->edges.data[it.edge - 1];
  const double g = d->grofac, L = e.length;
  for (int32_t i = 0; i < it.samples.count; i++) {
    double s = it.distances.data[i], P[2];
    edges_move_dist(&e, &d->joints, s, P);
    it.samples.data[i] = {P[0], P[1]};
    double h = std::min({hcap, ha + g * s, hb + g * (L - s), ends[0].at(s), ends[1].at(L - s)});
    if (e.shape == SHAPE_ERC) h = std::min(h, edges_erc_rad(&e, P) * A);
    for (int side = 0; side < 2; side++) {
      uint16_t r = e.side_regions[side];
      if (!r) continue;
      h = std::min({h, dominpde_threed_feature(p, d, P, r), dominpde_user_feature(p, P, r, it.edge)});
    }
    it.spacings.data[i] = h;
  }
}

// The point of edge e at distance s from its joint j.
static void from_joint(const Domain *d, const Edge &e, uint16_t j, double s, double P[2]) {
  edges_move_dist(&e, &d->joints, e.joint1 == j ? s : e.length - s, P);
}

// The narrow apexes: two edges leaving a joint at an angle t whose sine times ASPECT is
// below the growth rate, with a region between them. Along such edges the gap between
// them opens more slowly than the boundary spacing grows, and samples laid by the growth
// law alone would stand far wider apart than the gap (the front then finds no sound
// triangle across it). Each such edge end takes the law spacing <= ASPECT sin(t) s, down
// to a floor (its value at a hundredth of the shorter edge, or more where the gap is
// still within the tolerance), and the joint that floor. The laws go
// into laws[2 (e - 1) + end], end 0 at the edge's first joint.
static std::vector<apexlaw> narrow_apexes(Domain *d) {
  featureblock &b = d->features;
  std::vector<apexlaw> laws(2 * size_t(d->edges.count));
  const double g = d->grofac, aspect = b.aspect > 0 ? b.aspect : 4;
  for (uint16_t j = 1; j <= d->joints.count; j++) {
    const Joint &J = d->joints.data[j - 1];
    for (int32_t x = 0; x < J.edges.count; x++)
      for (int32_t y = x + 1; y < J.edges.count; y++) {
        uint16_t e1 = J.edges.data[x], e2 = J.edges.data[y];
        if (e1 < 1 || e2 < 1 || e1 > d->edges.count || e2 > d->edges.count || e1 == e2) continue;
        const Edge &E1 = d->edges.data[e1 - 1], &E2 = d->edges.data[e2 - 1];
        if (E1.external || E2.external || !planar_side(E1) || !planar_side(E2) || E1.joint1 == E1.joint2 ||
            E2.joint1 == E2.joint2 || !(E1.length > 0 && E2.length > 0))
          continue;
        // The directions leaving the joint, taken a little way along (an arc's chord
        // there is its tangent to a thousandth of its turn).
        double shorter = std::min(E1.length, E2.length), P[2], Q[2];
        from_joint(d, E1, j, 1e-3 * shorter, P);
        from_joint(d, E2, j, 1e-3 * shorter, Q);
        double ux = P[0] - J.x, uy = P[1] - J.y, vx = Q[0] - J.x, vy = Q[1] - J.y;
        double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
        if (!(lu > 0 && lv > 0)) continue;
        double sine = std::fabs(ux * vy - uy * vx) / (lu * lv), cosine = (ux * vx + uy * vy) / (lu * lv);
        if (!(cosine > 0 && aspect * sine < g)) continue;
        // A region between them, not a slit of void (a notch).
        from_joint(d, E1, j, 1e-2 * shorter, P);
        from_joint(d, E2, j, 1e-2 * shorter, Q);
        double M[2] = {0.5 * (P[0] + Q[0]), 0.5 * (P[1] + Q[1])};
        if (!domain_find_region(d, M)) continue;
        // Nearer the apex than where its gap is ten tolerances wide the two edges are one
        // line to the mesher's tests: no node goes there.
        apexlaw law{aspect * sine, std::max(aspect * sine * 1e-2 * shorter, 10 * d->grid.tolerance / sine)};
        for (uint16_t e : {e1, e2}) {
          apexlaw &l = laws[2 * size_t(e - 1) + (d->edges.data[e - 1].joint1 == j ? 0 : 1)];
          if (l.slope == 0 || law.slope < l.slope) l = law;
        }
        b.jointspacing.data[j - 1] = std::min(b.jointspacing.data[j - 1], law.floor);
        b.minspacing = std::min(b.minspacing, law.floor);
      }
  }
  return laws;
}

void resolve_features(pde *p, Domain *d, pad *panel) {
  TRACE("resolve_features");
  featureblock &b = d->features;
  const double A = arc_limit(p), tol = d->grid.tolerance;
  const std::vector<apexlaw> laws = narrow_apexes(d);
  statusline status(panel, "BREAKUP ");
  for (uint16_t k = 1; k <= d->edges.count && k <= b.count; k++) {
    status.update(k);
    const Edge &e = d->edges.data[k - 1];
    featureitem &it = b.items[k - 1];
    if (e.external || !planar_side(e)) continue;
    double hcap = b.basespacing;
    if (e.shape == SHAPE_ARC) hcap = std::min(hcap, std::fabs(e.shapedata.arc.rx) * A);
    it.edge = k;
    double ha = b.jointspacing.data[e.joint1 - 1], hb = b.jointspacing.data[e.joint2 - 1];
    const double L = e.length, floor = L * 1e-4;
    // Samples at most L/15 apart, and closer than any other joint is to the edge; a joint
    // almost on the edge does not ask for more than 10^4 of them.
    double dmin = L / 15, foot[2];
    for (uint16_t j : spatial_joints_near_edge(d, k, dmin)) {
      if (j == e.joint1 || j == e.joint2) continue;
      dmin = std::min(dmin, edges_edge_distance(&e, &d->joints, &d->joints.data[j - 1].x, foot, tol));
    }
    dmin = std::max(dmin, floor);
    int32_t n = dmin > 0 ? int32_t(L / dmin) + 1 : 1;
    if (n < 2) n = 2;
    pointd_resize_1(&it.samples, n, n);
    vectord_resize(&it.spacings, n, n);
    vectord_resize(&it.distances, n, n);
    for (int32_t i = 0; i < n; i++) it.distances.data[i] = i * L / (n - 1);
    // A sample halfway between every neighbouring pair whose spacings differ by more than
    // a factor two, unless the pair is closer than L 10^-4: a law with a jump never passes.
    for (;;) {
      sample_spacings(p, d, it, hcap, ha, hb, A, &laws[2 * size_t(k - 1)]);
      bool added = false;
      for (int32_t i = it.samples.count - 1; i >= 1; i--) {
        double h0 = it.spacings.data[i - 1], h1 = it.spacings.data[i];
        double s0 = it.distances.data[i - 1], s1 = it.distances.data[i];
        if (!(h0 > 0 && h1 > 0) || s1 - s0 <= floor) continue;
        double ratio = h0 / h1;
        if (ratio >= 0.5 && ratio <= 2) continue;
        if (it.samples.count == it.samples.capacity) {
          int32_t cap = it.samples.capacity + 16;
          pointd_resize_1(&it.samples, it.samples.count, cap);
          vectord_resize(&it.spacings, it.spacings.count, cap);
          vectord_resize(&it.distances, it.distances.count, cap);
        }
        pointd_insert_1(&it.samples, i + 1, 0, 0);
        vectord_insert_1(&it.spacings, i + 1, 0.5 * (h0 + h1));
        vectord_insert_1(&it.distances, i + 1, 0.5 * (s0 + s1));
        added = true;
      }
      if (!added) break;
    }
  }
}

void dominpde_build_features(pde *p, uint16_t ngrid, pad *panel) {
  TRACE("dominpde_build_features");
  Domain *d = p->mesh.domain;
  // Joints, edges and regions stay as they are until the features are built.
  DomainIndexScope lookups(d);
  featureblock &b = d->features;
  const double A = arc_limit(p), tol = d->grid.tolerance;
  // 1. Settings and the base spacing.
  features_free(d);
  b.arcangle = p->gridarc;
  b.aspect = p->aspect;
  b.minspacing = d->grid.seed;
  b.basespacing = d->grid.size / (ngrid ? ngrid : 1);
  b.joints = d->joints.count;
  arrayd_resize(&b.jointspacing, d->joints.count);
  double *hj = b.jointspacing.data;
  // 2. Joints: surface curvature and the nearest edge across a region.
  for (uint16_t j = 1; j <= d->joints.count; j++) {
    const Joint &J = d->joints.data[j - 1];
    double h = b.basespacing, N[2];
    for (int32_t i = 0; i < J.regions.count; i++)
      h = std::min(h, dominpde_threed_feature(p, d, &J.x, J.regions.data[i]));
    // h ends as the least distance of the edges the joint faces across a region (or
    // as it starts), whatever the order they are met in: the search widens from close
    // by and stops once the searched reach holds h, as no edge beyond can lower it.
    const double h0 = h;
    for (double reach = std::min(h0, spatial_reach(d));; reach = std::min(2 * reach, h0)) {
      for (uint16_t e : spatial_edges_near(d, &J.x, reach)) {
        const Edge &E = d->edges.data[e - 1];
        if (E.external || !planar_side(E) || ends_at(E, j)) continue;
        double dist = edges_edge_distance(&E, &d->joints, &J.x, N, tol);
        // An edge through the joint itself is no gap to resolve: it gives no spacing of 0.
        if (dist > tol && dist < h && dfeature_faces(d, &J.x, N)) h = dist;
      }
      if (!(h > reach && reach < h0)) break;
    }
    hj[j - 1] = h;
    b.minspacing = std::min(b.minspacing, h);
  }
  // 3. Joints: the nearest other joint across a region.
  for (uint16_t j = 1; j <= d->joints.count; j++) {
    const Joint &J = d->joints.data[j - 1];
    double h = hj[j - 1];
    for (uint16_t k : spatial_joints_near(d, &J.x, h)) {
      if (k == j) continue;
      const Joint &K = d->joints.data[k - 1];
      double dist = std::hypot(J.x - K.x, J.y - K.y);
      if (dist < h && dfeature_faces(d, &J.x, &K.x)) h = dist;
    }
    hj[j - 1] = h;
    b.minspacing = std::min(b.minspacing, h);
  }
  // 4. Periodic partners share the smaller spacing.
  auto share_partners = [&] {
    for (uint16_t j = 1; j <= d->joints.count; j++) {
      uint16_t i = d->joints.data[j - 1].image;
      if (i >= 1 && i <= d->joints.count) hj[j - 1] = hj[i - 1] = std::min(hj[j - 1], hj[i - 1]);
    }
  };
  share_partners();
  // 5. Edges: their length, user spacings and curvature.
  for (uint16_t e = 1; e <= d->edges.count; e++) {
    const Edge &E = d->edges.data[e - 1];
    if (!planar_side(E)) continue;
    const Joint &Ja = d->joints.data[E.joint1 - 1], &Jb = d->joints.data[E.joint2 - 1];
    double ha = hj[E.joint1 - 1], hb = hj[E.joint2 - 1], L = E.length;
    if (L != 0) ha = std::min(ha, L), hb = std::min(hb, L);
    for (int side = 0; side < 2; side++) {
      uint16_t r = E.side_regions[side];
      if (!r) continue;
      ha = std::min(ha, dominpde_user_feature(p, &Ja.x, r, e));
      hb = std::min(hb, dominpde_user_feature(p, &Jb.x, r, e));
    }
    if (E.shape == SHAPE_ARC) {
      double limit = std::fabs(E.shapedata.arc.rx) * A;
      ha = std::min(ha, limit), hb = std::min(hb, limit);
      b.minspacing = std::min(b.minspacing, limit);
    } else if (E.shape == SHAPE_ERC) {
      double la = edges_erc_rad(&E, &Ja.x) * A, lb = edges_erc_rad(&E, &Jb.x) * A;
      ha = std::min(ha, la), hb = std::min(hb, lb);
      b.minspacing = std::min({b.minspacing, la, lb});
    }
    hj[E.joint1 - 1] = ha, hj[E.joint2 - 1] = hb;
  }
  // Again, now that user spacings have lowered some joints: both sides of a periodic
  // pair must be laid out alike.
  share_partners();
  // 6. The joint spacings to the debug log.
  debug_printf("JOINT FEATURES:\n");
  for (uint16_t j = 1; j <= d->joints.count; j++) debug_printf("%6d %g\n", j, hj[j - 1]);
  // 7. The samples of every edge, periodic partners mixed.
  if (d->edges.count) {
    bopmemalloc(reinterpret_cast<char **>(&b.items), d->edges.count, sizeof(featureitem));
    XMEM += int64_t(d->edges.count) * sizeof(featureitem);
    b.count = d->edges.count;
  }
  resolve_features(p, d, panel);
  dfeature_mix_periodics(d);
  // 8. Samples lowered by the edges they face, in at most two passes.
  {
    statusline status(panel, "SEGMENT ");
    for (int pass = 0; pass < 2; pass++) {
      int32_t changes = 0;
      for (uint16_t k = 1; k <= b.count; k++) {
        status.update(k);
        featureitem &it = b.items[k - 1];
        for (int32_t i = 0; i < it.samples.count; i++) {
          double h = dfeature_bdry_feature(d, &it.samples.data[i].x, it.edge, it.spacings.data[i]);
          if (h < it.spacings.data[i]) it.spacings.data[i] = h, changes++;
        }
      }
      dfeature_mix_periodics(d);
      if (!changes || status.stop()) break;
    }
  }
  // 9. Redundant samples go.
  dfeature_shrink_features(d);
}
