// mesher2: the two-dimensional mesh driver, side nodes, fillets and history points.
#include "mesher/mesher2.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <cstring>
#include <numbers>
#include <string>

#include "model/pdedat_record.h"
#include "domain/domain.h"
#include "domain/dominpde.h"
#include "domain/edges.h"
#include "domain/features.h"
#include "domain/spatial.h"
#include "domain/joints.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/msgpump.h"
#include "mesher/gromesh2.h"
#include "mesher/mesh2.h"
#include "mesher/refine2.h"
#include "model/bcs.h"
#include "plot/plot.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

uint8_t mesher2_debug = 0;

int mesher2_init() {
  TRACE("mesher2");
  return 0;
}

namespace {

String text(const char *s) { return String{uint16_t(strlen(s)), 0, const_cast<char *>(s)}; }

// A status line that is removed on every way out of the driver.
struct Status {
  pad *panel;
  uint16_t line;
  Status(pad *p, const char *label) : panel(p) {
    String l = text(label);
    line = display_report(panel, 0, &l);
  }
  ~Status() { display_unreport(panel, line); }
};

bool drawable(uint16_t view) { return view != 0; }

void print_mesh(pde *p, Mesh *m, const char *title) {
  if (!debug_file) return;
  String t = text(title);
  meshes_print_1(debug_file, m, &t);
  bcs_print_bcs(debug_file, &p->formulas.bcs, &p->varnames);
}

void show_in_domain_view(pde *p, Mesh *m, int32_t basis) {
  if (!drawable(p->domainview)) return;
  plot_show_mesh(p->domainview, p->styles, &m->domain->grid.box, m, basis, 0, p->paintregions,
                 m->domain->regions.count);
  display_waitkey(0);
}

[[noreturn]] void fillet_error(pde *p, const Joint &J, const char *msg) {
  String s = text(msg);
  report_parse_err_0(p, &J.place, &s);
}

// Names an edge in the way of the fillet or bevel at J: a log line at the edge's place.
void in_the_way(pde *p, const Edge &E, const Joint &J) {
  char line[120];
  snprintf(line, sizeof line, "This boundary is in the way of the corner cut at (%g,%g)", J.x, J.y);
  String s = text(line);
  report_parse_warning(p, &E.place, &s);
}

// The edges at joint j other than the two of the first loop that walks through it (the
// outline whose corner is cut there).
std::vector<uint16_t> others_at(const Domain *d, uint16_t j) {
  auto from = [d](int32_t e) { return e > 0 ? d->edges.data[e - 1].joint1 : d->edges.data[-e - 1].joint2; };
  auto to = [d](int32_t e) { return e > 0 ? d->edges.data[e - 1].joint2 : d->edges.data[-e - 1].joint1; };
  uint16_t own[2] = {0, 0};
  for (uint16_t l = 0; l < d->loops.count && !own[0]; l++) {
    const vectorl &v = d->loops.data[l].edges;
    for (int32_t i = 0; i < v.count && !own[0]; i++) {
      int32_t a = v.data[i], b = v.data[(i + 1) % v.count];
      if (a && b && to(a) == j && from(b) == j) own[0] = uint16_t(std::abs(a)), own[1] = uint16_t(std::abs(b));
    }
  }
  std::vector<uint16_t> others;
  const Joint &J = d->joints.data[j - 1];
  for (int32_t i = 0; i < J.edges.count; i++)
    if (J.edges.data[i] != own[0] && J.edges.data[i] != own[1]) others.push_back(J.edges.data[i]);
  return others;
}

}  // namespace

// The area its own loops enclose: the polygon through points along every edge, each loop's
// signed area summed whole (an inner loop walked the other way subtracts).
double mesher2_outline_area(const Domain *d, const region &R) {
  double twice = 0;
  for (int32_t l = 0; l < R.loops.count; l++) {
    uint16_t li = R.loops.data[l];
    if (li < 1 || li > d->loops.count) continue;
    const Loop &L = d->loops.data[li - 1];
    double sum = 0, first[2] = {0, 0}, last[2] = {0, 0};
    bool started = false;
    for (int32_t k = 0; k < L.edges.count; k++) {
      int32_t se = L.edges.data[k];
      if (!se || std::abs(se) > d->edges.count) continue;
      const Edge &e = d->edges.data[std::abs(se) - 1];
      const int steps = e.shape == SHAPE_LINE ? 1 : 16;
      for (int i = 0; i <= steps; i++) {
        double s = e.length * (se > 0 ? i : steps - i) / steps, P[2];
        edges_move_dist(&e, &d->joints, s, P);
        if (!started) first[0] = P[0], first[1] = P[1], started = true;
        else sum += last[0] * P[1] - P[0] * last[1];
        last[0] = P[0], last[1] = P[1];
      }
    }
    if (started) sum += last[0] * first[1] - first[0] * last[1];
    twice += sum;
  }
  return std::fabs(twice) / 2;
}

// A region whose boundary encloses no area (it folds back on itself) gives no cells,
// whatever the other regions hold: nothing the descriptor says of it could be solved.
// The first such region is reported where it starts (at its first edge when that is unknown).
// A region whose outline does enclose an area but which later regions cover wholly has no
// cells either: the later regions win, and it is simply hidden.
static void check_area(pde *p, const Mesh *m) {
  const Domain *d = m->domain;
  std::vector<bool> meshed(size_t(d->regions.count) + 1, false);
  bool any = false;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c - 1];
    if (cell.alive && cell.region <= d->regions.count) meshed[cell.region] = true, any = true;
  }
  // A drawing that made no cell at all has nothing to solve on: a region with area whose
  // front made no cell stalled; a region drawn only as the holes it excludes has no area.
  TextLoc place{};
  uint16_t number = 0;
  bool stalled = false;
  for (uint16_t r = 1; r <= d->regions.count && !number; r++) {
    const region &R = d->regions.data[r - 1];
    if (R.type != 0 || R.loops.count == 0 || meshed[r]) continue;
    if (mesher2_outline_area(d, R) > 1e-9 * d->grid.size * d->grid.size) {
      if (any) continue;
      stalled = m->nodes.count > 0;
    }
    place = R.place;
    const Loop &L = d->loops.data[R.loops.data[0] - 1];
    for (int32_t k = 0; k < L.edges.count && !place.file; k++)
      if (L.edges.data[k]) place = d->edges.data[std::abs(L.edges.data[k]) - 1].place;
    number = R.number ? R.number : r;
  }
  for (uint16_t r = 1; r <= d->regions.count && !number && !any; r++) {
    const region &R = d->regions.data[r - 1];
    if (R.type == 0) place = R.place, number = R.number ? R.number : r;
  }
  // Boundaries that draw only what EXCLUDE removes hold no region to mesh: said at the first.
  if (!number && !any && d->regions.count > 0) {
    String s = text("No REGION Specified: EXCLUDE only removes area");
    report_parse_err_0(p, &d->regions.data[0].place, &s);
    return;
  }
  if (!number) return;
  static char message[96];
  if (stalled)
    snprintf(message, sizeof message, "Mesh generation stalled in region %d near (%g,%g)!", number, m->nodes.data[0].x,
             m->nodes.data[0].y);
  else snprintf(message, sizeof message, "Region %d has no area", number);
  String s = text(message);
  report_parse_err_0(p, &place, &s);
}

// ---- Fillets and bevels ----------------------------------------------------------------------

void filletize(pde *p) {
  TRACE("filletize_0");
  Domain *d = p->mesh.domain;
  edges_joinings(&d->edges, &d->joints);
  for (uint16_t j = 1; j <= d->joints.count; j++) {
    Joint J = d->joints.data[j - 1];
    if (J.kind != 1 && J.kind != 2) continue;
    // 1.-2. Two edges, the first ending at the joint and the second starting there.
    if (J.edges.count != 2) {
      for (uint16_t e : others_at(d, j)) in_the_way(p, d->edges.data[e - 1], J);
      fillet_error(p, J, "Can't Fillet a T-joint");
    }
    uint16_t e1 = J.edges.data[0], e2 = J.edges.data[1];
    auto E = [&](uint16_t e) -> Edge & { return d->edges.data[e - 1]; };
    if (!(E(e1).joint2 == j && E(e2).joint1 == j)) {
      if (E(e2).joint2 == j && E(e1).joint1 == j) std::swap(e1, e2);
      else fillet_error(p, J, "Confusing Fillet");
    }
    // 3. The tangent length d of the corner.
    double r = J.corner, dist = r, P1[2], P2[2];
    // Tangent points that fall on the far joint of e1 or of e2 (a fillet meeting the next
    // corner's exactly) make no edge of zero length: that edge itself becomes the corner.
    bool meets1 = false, meets2 = false;
    for (int pass = 1; pass <= 2; pass++) {
      edges_move_dist(&E(e1), &d->joints, E(e1).length - dist, P1);
      edges_move_dist(&E(e2), &d->joints, dist, P2);
      if (pass == 2) break;
      // The cosine of the corner from the two directions, measured whatever their length:
      // an edge shorter than r gives its far end, not a point at r.
      double l1 = std::hypot(P1[0] - J.x, P1[1] - J.y), l2 = std::hypot(P2[0] - J.x, P2[1] - J.y);
      double c = l1 > 0 && l2 > 0 ? ((P1[0] - J.x) * (P2[0] - J.x) + (P1[1] - J.y) * (P2[1] - J.y)) / (l1 * l2) : 1;
      // A straight (c = -1) or folded (c = 1) corner has no fillet.
      if (!(r > 0) || !(c > -1 + 1e-12 && c < 1 - 1e-12)) fillet_error(p, J, "Confusing Fillet");
      dist = J.kind == 1 ? r / std::sqrt((1 - c) / (1 + c)) : r / (2 * std::sqrt((1 - c) / 2));
      const double tol = d->grid.tolerance;
      meets1 = std::fabs(dist - E(e1).length) <= tol, meets2 = std::fabs(dist - E(e2).length) <= tol;
      if (meets1 && meets2) fillet_error(p, J, "Confusing Fillet");
      if (meets1) dist = E(e1).length;
      if (meets2) dist = E(e2).length;
      if (!((dist < E(e1).length || meets1) && (dist < E(e2).length || meets2))) {
        // The side too short for the cut is named.
        in_the_way(p, E(dist < E(e1).length || meets1 ? e2 : e1), J);
        fillet_error(p, J, "Confusing Fillet");
      }
    }
    // 4. The joint moves to P1, a new joint at P2 splits e2; the corner edge is the part
    // of e2 that ends at j.
    // Where the tangent point on e1 is e1's first joint, j moves to P2 and e1 is the
    // corner; where the one on e2 is e2's last joint, e2 is.
    uint16_t corner;
    if (meets1) {
      E(e2).length -= dist;
      d->joints.data[j - 1].x = P2[0], d->joints.data[j - 1].y = P2[1];
      corner = e1;
      edges_bound_edge(&E(e2), &d->joints, &d->grid);
    } else {
      E(e1).length -= dist;
      d->joints.data[j - 1].x = P1[0], d->joints.data[j - 1].y = P1[1];
      if (meets2) {
        corner = e2;
      } else {
        E(e2).length -= dist;
        uint16_t k = joints_new_joint_0(&d->joints, P2[0], P2[1]);
        corner = dominpde_split_edge(d, e2, k);
        if (E(corner).joint1 != j && E(corner).joint2 != j) corner = e2;
      }
    }
    Edge &C = E(corner);
    // 5. Arc or line, walked from P1 to P2.
    if (J.kind == 1) {
      const Joint *a = &d->joints.data[C.joint1 - 1], *b = &d->joints.data[C.joint2 - 1];
      double radius = (meets1 || C.joint1 == j) ? r : -r;
      edges_infer_arc2r(&C.shapedata.arc, a, b, radius, d->grid.tolerance);
      if (std::hypot(C.shapedata.arc.cx - J.x, C.shapedata.arc.cy - J.y) < r)
        edges_infer_arc2r(&C.shapedata.arc, a, b, -radius, d->grid.tolerance);
      C.shape = SHAPE_ARC;
      C.length = std::fabs(r * C.shapedata.arc.sweep);
    } else {
      edges_make_line_params(&C, &d->joints);
      C.shape = SHAPE_LINE;
    }
    edges_bound_edge(&C, &d->joints, &d->grid);
    edges_bound_edge(&E(e1), &d->joints, &d->grid);
    // 6. The corner takes the joint's conditions.
    C.bctag = J.bctag;
    edges_joinings(&d->edges, &d->joints);
  }
}

// ---- History points ---------------------------------------------------------------------------

void check_history_point(pde *p, double x, double y, const TextLoc *loc) {
  TRACE("check_history_point_0");
  const Domain *d = p->mesh.domain;
  double pt[2] = {x, y}, foot[2];
  if (domain_find_region(d, pt)) return;
  double best = HUGE_VAL;
  for (uint16_t e = 1; e <= d->edges.count; e++)
    best = std::min(best, edges_edge_distance(&d->edges.data[e - 1], &d->joints, pt, foot, d->grid.tolerance));
  if (!(best > 0.01 * d->grid.size)) return;
  String msg{}, num{};
  strings_copyto_1(&msg, "History point (");
  strings_fmt(&num, x);
  strings_addto_0(&msg, &num);
  strings_addto_1(&msg, ",");
  strings_fmt(&num, y);
  strings_addto_0(&msg, &num);
  strings_addto_1(&msg, ") is outside domain");
  strings_free_0(&num);
  // The report jumps out; the message lives in a static so nothing leaks.
  static String last{};
  strings_copyto_0(&last, &msg);
  strings_free_0(&msg);
  report_parse_err_0(p, loc, &last);
}

void check_history_points(pde *p) {
  TRACE("check_history_points_0");
  for (int32_t h = 0; h < p->histories.count; h++) {
    uint16_t k = p->histories.data[h];
    if (k < 1 || k > p->plotrecs.count) continue;
    const plotrec &r = p->plotrecs.data[k - 1];
    TextLoc loc = r.exprs.count && r.exprs.data[0] ? r.exprs.data[0]->loc : TextLoc{};
    for (int32_t i = 0; i < r.at.count; i++) check_history_point(p, r.at.data[i].x, r.at.data[i].y, &loc);
  }
}

// ---- Side nodes --------------------------------------------------------------------------------

void mesher2_midsides(pde *p, Mesh *m, int32_t basis) {
  TRACE("mesher2_midsides_0");
  Status status(&p->status, "MIDSIDES");
  m->meshbasis = basis;
  int per = basis == tri6 ? 1 : basis == tri9 ? 2 : 0;
  if (!per) {
    String s = text("ILLEGAL ORDER");
    report_exec_err_1(&s);
  }
  const double fractions[2][2] = {{0.5, 0}, {1.0 / 3, 2.0 / 3}};
  int nf = elements_functions[basis];
  for (int32_t c = 1; c <= m->cells.count; c++) {
    if (!m->cells.data[c - 1].alive) continue;
    mesh2_fix_bdid2(m, c);
    {
      vectorl &nodes = m->cells.data[c - 1].nodes;
      if (nodes.count < nf) vectorl_resize(&nodes, nf, std::max(nf, nodes.capacity));
    }
    for (uint16_t s = 1; s <= 3; s++) {
      MeshCell *cell = &m->cells.data[c - 1];
      const uint8_t *row = mesh2_sides[s - 1];
      int32_t i = cell->nodes.data[row[1] - 1], j = cell->nodes.data[row[2] - 1], n = cell->neighbour[s - 1];
      if (n >= 1 && n < c) {
        // The neighbour made them: its side toward c holds them in the other order.
        const MeshCell &nb = m->cells.data[n - 1];
        uint16_t t = meshes_find_side_0(&m->cells, n, c);
        for (int k = 0; k < per; k++) cell->nodes.data[3 * k + 3 + s - 1] = nb.nodes.data[3 * (per - 1 - k) + 3 + t - 1];
        continue;
      }
      uint16_t e = 0;
      if (m->nodes.data[i - 1].kind != 0 && m->nodes.data[j - 1].kind != 0) e = meshes_common_edge(m, i, j);
      int32_t prev = i;
      for (int k = 0; k < per; k++) {
        double t = fractions[per - 1][k];
        const MeshNode &I = m->nodes.data[i - 1], &J = m->nodes.data[j - 1];
        double x = (1 - t) * I.x + t * J.x, y = (1 - t) * I.y + t * J.y;
        double h = (1 - t) * double(I.spacing) + t * double(J.spacing);
        int32_t nd = meshes_new_node_0(m, x, y, m->cells.data[c - 1].region);
        MeshNode &N = m->nodes.data[nd - 1];
        N.spacing = float(h);
        m->cells.data[c - 1].nodes.data[3 * k + 3 + s - 1] = nd;
        meshes_new_nodecell(m, nd, c);
        meshes_new_nodecell(m, nd, n);
        if (!e) continue;
        N.kind = 2, N.id = e;
        if (!meshes_insert_bnode(m, e, prev, j, nd)) {
          if (drawable(m->debugview)) gag_drawline_1(m->debugview, I.x, I.y, J.x, J.y);
          rtlib_fatal_in("mesher2_midsides_0", "Bad Boundary Node Insert");
        }
        prev = nd;
        const Edge &E = m->domain->edges.data[e - 1];
        if (E.shape != SHAPE_LINE && m->curvegrid) {
          double q[2] = {N.x, N.y};
          edges_push_to_bdry(&E, q);
          N.x = q[0], N.y = q[1];
        }
      }
    }
  }
}

// ---- The driver ---------------------------------------------------------------------------------

void mesher2_prepare_domain(pde *p) {
  TRACE("mesher2_prepare_domain");
  Domain *d = p->mesh.domain;
  dominpde_get_transforms(p, 2);
  {
    Status checking(&p->status, "CHECKING");
    // Fillets and bevels are cut on each region's own outline, before the edges of other
    // regions split it: a side split short of a fillet's tangent point had no room for it.
    filletize(p);
    dominpde_split_edges(d);
    dominpde_merge_edges(d);
    edges_joinings(&d->edges, &d->joints);
    domain_bound_regions(d);
    domain_tag_edges(d);
    dominpde_joint_bcs(p);
  }
  dominpde_sort_materials(d, &p->formulas.definitions);
  dominpde_find_reglist(p);
}

void mesher2_refuse_first_mesh(const pde *p, int64_t nodes, bool least) {
  static char message[120];
  // The error's text holds 83 characters: a count past thirteen digits would push the limit's
  // digits off its end, and is said as "at least" thirteen nines, which it is.
  const int64_t most = 9999999999999;
  if (nodes > most) nodes = most, least = true;
  snprintf(message, sizeof message, "The first mesh needs %s%lld nodes, more than NODELIMIT = %d",
           least ? "at least " : "", static_cast<long long>(nodes), int(p->nodelimit));
  String s = text(message);
  except_uncle(&s);
}

// A first mesh that would take long to build (a hundred thousand nodes or more) and could not
// fit NODELIMIT is refused from its estimate before the front runs, not after (a unit square
// at NGRID 640 took seconds to mesh before its count was read): the least nodes
// of its cells' basis over the cells the front will make, from the boundary nodes B and the
// cells T by Euler's relation (vertices (T + B + 2) / 2, sides (3T + B) / 2) with the nodes
// the basis puts on each side and inside each cell.
static void refuse_by_estimate(pde *p, Mesh *m) {
  double least = 0, cells = gromesh2_first_mesh_cells(p, m, &least);
  if (!(cells > 0)) return;
  int32_t b = m->cellbasis ? m->cellbasis : tri3;
  int k = std::max<int>(1, elements_order[b]), inner = std::max(0, elements_functions[b] - 3 * k);
  double B = m->nodes.count;
  auto nodes = [&](double T) {
    double V = (T + B + 2) / 2, E = (3 * T + B) / 2;
    return V + (k - 1) * E + inner * T;
  };
  double low = nodes(least);
  if (low > p->nodelimit && nodes(cells) >= 1e5) {
    double unit = std::pow(10.0, std::floor(std::log10(low)) - 2), shown = std::floor(low / unit) * unit;
    mesher2_refuse_first_mesh(p, int64_t(shown > p->nodelimit ? shown : std::floor(low)), true);
  }
}

int32_t mesher2_freshmesh(pde *p, uint8_t meshswitch, int32_t meshcount) {
  TRACE("mesher2_freshmesh_0");
  Mesh *m = &p->mesh;
  Domain *d = m->domain;
  bool showing = mesher2_debug || p->dbg_plot;
  // 1. The views.
  if (drawable(p->meshview)) gag_clearview_0(p->meshview);
  if (drawable(p->domainview)) gag_showwindow(p->domainview, showing || p->domainonly ? 3 : 2);
  // 2. The status line and the mesh's settings; the tables start empty.
  Status building(&p->status, "BUILDING MESH");
  cellnode_free_1(&m->cells);
  cellnode_free_2(&m->nodes);
  m->images.count = 0;
  m->meshbasis = tri3;
  m->cellbasis = p->basis ? p->basis : tri3;
  m->meshview = p->meshview;
  m->debugview = p->domainview;
  m->status = &p->status;
  m->finder.built = 0;
  m->curvegrid = p->curvegrid, m->curveall = p->curveall, m->printgrid = p->printgrid;
  // 3. Domain preparation.
  mesher2_prepare_domain(p);
  // 4. The frame and the domain in the mesh view.
  String X = text("X"), Y = text("Y");
  if (drawable(p->meshview)) {
    plot_show_frame(p->meshview, p->styles, &d->grid.box, 0, 1, &X, &Y);
    plot_show_domain_0(p->meshview, d, &d->grid.box);
    gag_setcolor_0(p->meshview, p->styles[0].colours.axis);
  }
  // 5. First stop check.
  if (p->stop) return p->phase;
  // 6. The domain display and its wait.
  if (p->domainonly) {
    uint16_t dv = p->domainview;
    if (drawable(dv)) {
      String menu = text("DomainMenu");
      gag_setmenu_1(dv, &menu);
      gag_clearview_0(dv);
      plot_show_frame(dv, p->styles, &d->grid.box, 0, 1, &X, &Y);
      for (uint16_t r = 1; r <= d->regions.count; r++) {
        uint8_t colour = gag1d_tablecolor_0(&p->styles[0], r, d->regions.count);
        const region &R = d->regions.data[r - 1];
        for (int32_t l = 0; l < R.loops.count; l++) {
          const Loop &L = d->loops.data[R.loops.data[l] - 1];
          for (int32_t k = 0; k < L.edges.count; k++)
            if (L.edges.data[k]) plot_show_segment_0(dv, d, uint16_t(std::abs(L.edges.data[k])), colour);
        }
      }
    }
    // Nothing can end the wait once no message can arrive: it ends as an Edit.
    while (p->domainonly && !p->error && msgpump.can_wait()) msgpump.dispatch(1);
    if (!p->goon || p->domainonly) {
      if (drawable(dv)) {
        String menu = text("PlotMenu");
        gag_setmenu_1(dv, &menu);
      }
      p->domainonly = 0;
      return PHASE_NEW;
    }
    if (!showing && drawable(dv)) gag_showwindow(dv, 2);
  }
  // 7. Menus, history points, periodic pairs.
  if (drawable(p->pdeview)) {
    String menu = text("RunningMenu");
    gag_setmenu_1(p->pdeview, &menu);
  }
  check_history_points(p);
  dominpde_periodic_edges(d);
  dominpde_check_images(d);
  domain_debug_listing(d);
  // 8. Spacing.
  {
    Status sizing(&p->status, "SIZING");
    dominpde_build_features(p, uint16_t(meshcount), &p->status);
  }
  features_debug_listing(d);
  // 9. Boundary nodes and the front, with the domain's lookups: the joints, edges and
  // regions stay as they are while the front runs.
  {
    DomainIndexScope lookups(d);
    gromesh2_grid_edges(p, m);
    if (meshswitch && p->nodelimit > 0) refuse_by_estimate(p, m);
    gromesh2_growfront(p, m);
  }
  if (p->stop) return p->phase;
  check_area(p, m);
  // 10. First check; the material of every cell.
  meshes_check_mesh(m, tri3, 1, 0);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    MeshCell &cell = m->cells.data[c - 1];
    if (cell.region >= 1 && cell.region <= d->regmaterials.count) cell.region2 = d->regmaterials.data[cell.region - 1];
  }
  // 11. Swaps and relaxation.
  refine2_relax_hooks(p->styles, &p->stop, m);
  if (p->stop) return p->phase;
  // 12. The relaxed mesh in the debug log.
  if (p->printgrid || mesher2_debug) print_mesh(p, m, "RELAXED");
  if (mesher2_debug) show_in_domain_view(p, m, tri3);
  // 13. Side nodes, or the side ids of a tri3 mesh.
  if (meshswitch && m->cellbasis != tri3) {
    mesher2_midsides(p, m, m->cellbasis);
    if (mesher2_debug) {
      print_mesh(p, m, "MIDSIDES");
      show_in_domain_view(p, m, m->meshbasis);
    }
  } else {
    for (int32_t c = 1; c <= m->cells.count; c++)
      if (m->cells.data[c - 1].alive) mesh2_fix_bdid2(m, c);
    if (mesher2_debug) show_in_domain_view(p, m, m->meshbasis);
  }
  // A two-dimensional first mesh as coarse as the domain allows that still has more
  // nodes than NODELIMIT: no finer mesh can follow, and the run stops saying so.
  if (meshswitch && p->nodelimit > 0) {
    int32_t live = 0;
    for (int32_t n = 1; n <= m->nodes.count; n++) live += m->nodes.data[n - 1].alive != 0;
    if (live > p->nodelimit) mesher2_refuse_first_mesh(p, live, false);
  }
  // 14. Periodic images.
  meshes_map_periodics(m);
  if (mesher2_debug) print_mesh(p, m, "INITIAL");
  // 15. The mesh in the mesh view.
  plot_fixcolors(nullptr);
  if (drawable(p->meshview))
    plot_show_mesh(p->meshview, p->styles, &d->grid.box, m, m->meshbasis, 0, p->paintregions, d->regions.count);
  // 16. Off the grid lines.
  if (p->quantize) meshes_quantize_mesh(m, 2);
  // 17. The final mesh in the debug log.
  if (p->printgrid || mesher2_debug) print_mesh(p, m, "FINAL");
  // 18. The full check.
  meshes_check_mesh(m, m->meshbasis, 1, 1);
  return PHASE_ANALYSIS;
}
