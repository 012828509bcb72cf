// init: initial values of the solution and the eigenvalue start vectors.
#include "solver/init.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "model/pdedat_record.h"
#include "model/params.h"
#include "model/trees.h"
#include "elements/elements.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "model/treeval.h"
#include "runtime/bopmem.h"
#include "runtime/math.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "solver/fitting.h"
#include "solver/loading.h"
#include "solver/cgsolve.h"
#include "solver/coupling.h"
#include "mesher/refiner.h"
#include "plot/doplot.h"
#include "elements/cellnode.h"
#include "elements/quature.h"
#include "elements/basisfun.h"
#include "runtime/debug.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"

// The work cell and evaluation point the module localises into: each entry sets what it
// reads before it reads it, so nothing carries from one call to the next.
static LocalCell cellrec;
static evalpoint ep;

int init_init() {
  TRACE("init");
  return 0;
}

static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

static TreeNode *init_tree(pde *p, uint16_t k, uint16_t region) {
  const treevectors *t = &p->formulas.initregion;
  if (k < 1 || k > t->count) return nullptr;
  const treevector *v = &t->data[k - 1];
  return region >= 1 && region <= v->count ? v->data[region - 1] : nullptr;
}

// A point of the start, at time t, that reads the values u and the work cell.
static evalpoint start_point(vector2d *u, double t) {
  evalpoint e{};
  e.needed = 1;  // a start the run goes on from
  e.values = u;
  e.t = t;
  e.cell = &cellrec;
  return e;
}

// ---- A start read from a TABLE ----------------------------------------------------------
// A TABLE holds its function only to its own point spacing: between its points it is the
// piecewise-linear blend of them, whose kinks are the table's sampling and not the start's
// shape. Sampled at the nodes, the kinks put an error of up to an eighth of the table's second
// differences at each node, scattered from node to node, which a finer mesh resolves as short
// modes: in a wave's rate they grow with their wavenumber, the estimate reads them and asks
// for finer cells, which sample the kinks anew (a damped wave from a 401-point table went past
// 800,000 nodes by its 20th step). So while a start is read, every table a start reads is read
// at its own resolution, along its own keys (a coordinate, a definition or a variable alike):
// along each axis the filter (4 B(h) - B(2h)) / 3 of the box means B over the axis's spacing h
// and twice it, which passes a smooth function's quadratic part unchanged and cancels the
// blend's kinks (both boxes span whole periods of them). The filter is taken once per table,
// axis by axis (the blend is a product of one-axis blends), at points a fraction of the spacing
// apart, and the start then reads that finer table as it reads any: once per node, whatever
// the rest of its expression. Where a box would leave the axis's span the axis is read as it
// stands. A cell smaller than the spacing of a table read along a coordinate has no resolution
// error of its own: the start's passes do not chase the table below its spacing.

// Per coordinate (x, y, z) the least point spacing of the tables a start reads along it (0:
// none).
struct StartTables {
  double gap[3] = {0, 0, 0};
  double least() const {
    double h = 0;
    for (double g : gap)
      if (g > 0 && !(h > 0 && h <= g)) h = g;
    return h;
  }
};

// The least spacing between an axis's points (0: fewer than two).
static double least_gap(const arrays &axis) {
  double h = 0;
  for (int32_t i = 1; i < axis.count; i++) {
    double g = double(axis.data[i]) - double(axis.data[i - 1]);
    if (g > 0 && !(h > 0 && h <= g)) h = g;
  }
  return h;
}

// The tables a tree reads (directly or through its definitions): their spacing along the
// coordinates into s, their entries into read.
static void start_tables(pde *p, const TreeNode *n, uint16_t region, StartTables &s, std::vector<char> &read,
                         int depth = 0) {
  if (!n || depth > 200) return;
  if (n->opcode == op::param) {
    if (n->index >= 1 && n->index <= p->formulas.definitions.count)
      start_tables(p, params_find_param_tree(&p->formulas.definitions, n->index, region), region, s, read, depth + 1);
    return;
  }
  if (n->opcode == op::tableval) {
    const tablelist &tl = p->formulas.definitions.tables;
    if (n->index < 1 || n->index > tl.count) return;
    const tableentry &e = tl.items[n->index - 1];
    if (read.size() < size_t(tl.count)) read.resize(size_t(tl.count), 0);
    read[size_t(n->index - 1)] = 1;
    for (int a = 0; a < 3 && a < e.table.dimension; a++) {
      int c = e.keys[a] - 1;
      double g = least_gap(e.table.axis[a]);
      if (c >= 0 && c <= 2 && g > 0 && !(s.gap[c] > 0 && s.gap[c] <= g)) s.gap[c] = g;
    }
    return;
  }
  if (n->opcode == op::subref) return start_tables(p, n->target, region, s, read, depth + 1);
  if (n->group == leafop) return;
  for (int k = 0; k < n->arity && k < 3; k++) start_tables(p, n->child[k], region, s, read, depth + 1);
}

// Per field variable and region, the tables its start reads there, and the entries of every
// table any start reads.
struct StartTableSet {
  std::vector<std::vector<StartTables>> by;  // [variable - 1][region - 1]
  std::vector<char> read;                    // [entry - 1]
  StartTables none;
  const StartTables &of(uint16_t k, uint16_t region) const {
    if (k < 1 || k > by.size() || region < 1 || region > by[k - 1].size()) return none;
    return by[k - 1][region - 1];
  }
};

static StartTableSet start_tables(pde *p) {
  StartTableSet out;
  out.by.resize(p->nfield);
  const treevectors &t = p->formulas.initregion;
  for (uint16_t k = 1; k <= p->nfield && k <= t.count; k++) {
    out.by[k - 1].resize(t.data[k - 1].count);
    for (uint16_t r = 1; r <= t.data[k - 1].count; r++)
      start_tables(p, t.data[k - 1].data[r - 1], r, out.by[k - 1][r - 1], out.read);
  }
  return out;
}

// The blend along one axis (points x, values v at stride apart) at q, held constant beyond
// its ends.
static double blend_at(const std::vector<double> &x, const double *v, size_t stride, double q) {
  size_t n = x.size();
  if (q <= x[0] || n < 2) return v[0];
  if (q >= x[n - 1]) return v[(n - 1) * stride];
  size_t i = size_t(std::upper_bound(x.begin(), x.end(), q) - x.begin()) - 1;
  double w = (q - x[i]) / (x[i + 1] - x[i]);
  return (1 - w) * v[i * stride] + w * v[(i + 1) * stride];
}

// The tables the starts read, each replaced by its reading at its own resolution for as long as
// the object lives (the equations read the tables as they are). Nested, the outer one serves.
class TablesAtResolution {
 public:
  TablesAtResolution(pde *p, const std::vector<char> &read) : p_(p) {
    if (depth_++ > 0) return;
    tablelist &tl = p->formulas.definitions.tables;
    for (size_t i = 0; i < read.size() && i < size_t(tl.count); i++) {
      if (!read[i]) continue;
      lintab fine{};
      if (!filtered(tl.items[i].table, &fine)) continue;
      kept_.push_back({int32_t(i), tl.items[i].table});
      tl.items[i].table = fine;
    }
  }
  ~TablesAtResolution() {
    if (--depth_ > 0) return;
    tablelist &tl = p_->formulas.definitions.tables;
    for (auto &[i, table] : kept_) {
      lintabs_free(&tl.items[i].table);
      tl.items[i].table = table;
    }
  }
  TablesAtResolution(const TablesAtResolution &) = delete;
  TablesAtResolution &operator=(const TablesAtResolution &) = delete;

 private:
  // The table t read at its resolution into fine: points 1/r of each interval apart (r: 8
  // along one axis, 4 along two, 2 along three), values filtered axis by axis. False (fine
  // untouched) for a table that has no axis of two points.
  static bool filtered(const lintab &t, lintab *fine) {
    int d = t.dimension;
    if (d < 1 || d > 3) return false;
    std::vector<double> axis[3];
    size_t n[3] = {1, 1, 1};
    for (int a = 0; a < d; a++) {
      const arrays &ax = t.axis[a];
      for (int32_t i = 0; i < ax.count; i++) axis[a].push_back(double(ax.data[i]));
      n[a] = axis[a].size();
      if (n[a] == 0) return false;
    }
    std::vector<double> v(n[0] * n[1] * n[2]);
    for (size_t k = 0; k < n[2]; k++)
      for (size_t j = 0; j < n[1]; j++)
        for (size_t i = 0; i < n[0]; i++) {
          const arrays &row = d == 1 ? t.data1 : d == 2 ? t.data2.data[j] : t.data3.data[k].data[j];
          v[i + n[0] * (j + n[1] * k)] = double(row.data[i]);
        }
    const int r0 = d == 1 ? 8 : d == 2 ? 4 : 2, M = 16;
    bool any = false;
    for (int a = 0; a < d; a++) {
      double h = least_gap(t.axis[a]);
      if (!(h > 0)) continue;
      any = true;
      int r = r0;
      while (r > 1 && (n[a] - 1) * size_t(r) + 1 > 60000) r /= 2;
      std::vector<double> x;
      for (size_t i = 0; i + 1 < n[a]; i++)
        for (int s = 0; s < r; s++) x.push_back(axis[a][i] + (axis[a][i + 1] - axis[a][i]) * s / r);
      x.push_back(axis[a].back());
      size_t m[3] = {n[0], n[1], n[2]};
      m[a] = x.size();
      size_t stride = a == 0 ? 1 : a == 1 ? n[0] : n[0] * n[1], fstride = a == 0 ? 1 : a == 1 ? m[0] : m[0] * m[1];
      std::vector<double> w(m[0] * m[1] * m[2]);
      double lo = axis[a].front(), hi = axis[a].back();
      for (size_t k = 0; k < (a == 2 ? 1 : m[2]); k++)
        for (size_t j = 0; j < (a == 1 ? 1 : m[1]); j++)
          for (size_t i = 0; i < (a == 0 ? 1 : m[0]); i++) {
            const double *line = &v[(a == 0 ? 0 : i) + n[0] * ((a == 1 ? 0 : j) + n[1] * (a == 2 ? 0 : k))];
            double *out = &w[(a == 0 ? 0 : i) + m[0] * ((a == 1 ? 0 : j) + m[1] * (a == 2 ? 0 : k))];
            for (size_t q = 0; q < x.size(); q++) {
              double at = x[q], sum = 0;
              if (at - h < lo || at + h > hi) sum = blend_at(axis[a], line, stride, at);
              else
                // M mid-points of each box, weighed 4/3 and -1/3 of their boxes' means.
                for (int b = 0; b < 2 * M; b++)
                  sum += (b < M ? 4.0 : -1.0) / (3.0 * M) *
                         blend_at(axis[a], line, stride, at + (b < M ? 1.0 : 2.0) * ((b % M + 0.5) / M - 0.5) * h);
              out[q * fstride] = sum;
            }
          }
      v.swap(w);
      axis[a].swap(x);
      n[a] = m[a];
    }
    if (!any) return false;
    fine->dimension = uint16_t(d);
    for (int a = 0; a < d; a++) {
      arrays_new(&fine->axis[a], int32_t(n[a]));
      for (size_t i = 0; i < n[a]; i++) fine->axis[a].data[i] = float(axis[a][i]);
    }
    auto fill = [&](arrays &row, size_t j, size_t k) {
      arrays_new(&row, int32_t(n[0]));
      for (size_t i = 0; i < n[0]; i++) row.data[i] = float(v[i + n[0] * (j + n[1] * k)]);
    };
    if (d == 1) fill(fine->data1, 0, 0);
    if (d == 2) {
      array2s_new(&fine->data2, int32_t(n[1]));
      for (size_t j = 0; j < n[1]; j++) fill(fine->data2.data[j], j, 0);
    }
    if (d == 3) {
      array3s_new(&fine->data3, int32_t(n[2]));
      for (size_t k = 0; k < n[2]; k++) {
        array2s_new(&fine->data3.data[k], int32_t(n[1]));
        for (size_t j = 0; j < n[1]; j++) fill(fine->data3.data[k].data[j], j, k);
      }
    }
    return true;
  }

  pde *p_;
  std::vector<std::pair<int32_t, lintab>> kept_;
  static int depth_;
};
int TablesAtResolution::depth_ = 0;

// Whether a cell is smaller than h: every side between its vertices shorter.
static bool cell_finer(const Mesh *m, const MeshCell &cell, double h) {
  if (!(h > 0)) return false;
  int nv = std::min<int>(elements_vertices[cell.basis], cell.nodes.count);
  for (int i = 0; i < nv; i++)
    for (int j = i + 1; j < nv; j++) {
      const MeshNode &a = m->nodes.data[cell.nodes.data[i] - 1], &b = m->nodes.data[cell.nodes.data[j] - 1];
      double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
      if (dx * dx + dy * dy + dz * dz >= h * h) return false;
    }
  return true;
}

// N values per field variable, all 0, and one per scalar, which keeps a value it has
// (the start is set once, before the passes that size the fields again).
static void size_solution(pde *p, vector2d *u) {
  uint16_t V = uint16_t(p->nfield + p->nscalar);
  if (u->count < V) vector2d_resize(u, V, std::max<int32_t>(V, u->capacity));
  for (uint16_t k = 1; k <= V; k++) {
    int32_t n = k <= p->nfield ? p->mesh.nodes.count : 1;
    vectord *x = &u->data[k - 1];
    int32_t keep = k <= p->nfield ? 0 : std::min(x->count, n);
    vectord_resize(x, n, std::max(n, x->capacity));
    std::fill(x->data + keep, x->data + n, 0.0);
  }
}

// Each live cell localised in cellrec (ep at it), then f(cell, k, tree) for each field variable k
// from 1 to F with its initial expression in the cell's region.
template <class F> static void each_start_cell(pde *p, uint16_t nf, F &&f) {
  Mesh *m = &p->mesh;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    MeshCell *cell = &m->cells.data[c - 1];
    if (!cell->alive) continue;
    meshes_localize(m, cell, &cellrec, 0);
    ep.cell = &cellrec, ep.cellno = uint32_t(c), ep.region = cell->region, ep.side = 0, ep.qpoint = 0;
    for (uint16_t k = 1; k <= nf; k++) f(cell, k, init_tree(p, k, cell->region));
  }
}

// Over the cell localised in cellrec (ep at it), the volume rule's sums of the interpolated
// values u (into b), of the square of the initial expression tree less them (sq) and of the
// weights (size).
static void start_misfit_in_cell(pde *p, TreeNode *tree, const vectord *u, const QuadRule *rule, double *b, double *sq,
                                 double *size) {
  for (int q = 0; q < rule->count; q++) {
    const double *L = rule->points[q].L;
    elements_jacobian(L, &cellrec.frame);
    double w = rule->points[q].weight * cellrec.frame.measure;
    double v = cellnode_interpu_1(p->mesh.meshbasis, L, &cellrec, u), xyz[3] = {};
    memcpy(ep.local, L, sizeof ep.local);
    elements_get_gcoords(xyz, ep.local, &cellrec.frame);
    ep.x = xyz[0], ep.y = xyz[1], ep.z = xyz[2], ep.qpoint = 0;
    double e = treeval_eval(p, tree, &ep) - v;
    *b += w * v, *sq += w * e * e, *size += w;
  }
}

// The resolution error of the start: per variable the cell integrals of its initial
// expression against those of its interpolated values; each cell's error is left in
// the cell, the global figure returned. A cell whose own RMS difference over the variable's
// range passes own takes that as its error, and the global figure is at least it. A cell
// smaller than the spacing of the tables its variable's start reads in the cell's region
// has no error of its own: below that spacing the table's blend holds
// nothing of the start but its kinks.
static double resolution_error(pde *p, vector2d *u, double own, const StartTableSet &tables) {
  Mesh *m = &p->mesh;
  uint16_t E = p->nfield;
  std::vector<double> A(E + 1, 0.0), D(E + 1, 0.0), d(E + 1, 0.0), rms(E + 1, 0.0), R(E + 1, 0.0);
  // Each variable's range over the nodes: the unit of a cell's own difference.
  for (uint16_t k = 1; k <= E; k++) {
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int32_t n = 1; n <= m->nodes.count && n <= u->data[k - 1].count; n++) {
      if (!m->nodes.data[n - 1].alive) continue;
      lo = std::min(lo, u->data[k - 1].data[n - 1]), hi = std::max(hi, u->data[k - 1].data[n - 1]);
    }
    // Not below 1e-9 of the values' size: a start that is constant but for roundoff (sin^2 +
    // cos^2) has a range of a few ulps, against which its roundoff would read as a front.
    R[k] = hi > lo ? std::max(hi - lo, 1e-9 * std::max(std::fabs(lo), std::fabs(hi))) : std::max(std::fabs(hi), 0.0);
  }
  double worst = 0;
  const QuadRule *rule = quature_rule(p->vrule);
  int32_t cells = 0;
  auto each_cell = [&](auto &&f) {
    each_start_cell(p, E, [&](MeshCell *cell, uint16_t k, TreeNode *tree) {
      // A start value near the largest number overflows its squares here: the
      // variable's initial value is the place of the report.
      TreesFpScope placed(tree);
      double a = treeval_vol_integrate(p, tree, &ep, p->vrule), b = 0, sq = 0, size = 0;
      // The integral of the difference, and its square at the rule's points: a front
      // whose errors cancel over the cell still shows in the second.
      start_misfit_in_cell(p, tree, &u->data[k - 1], rule, &b, &sq, &size);
      d[k] = std::max(std::fabs(a - b), std::sqrt(std::fabs(sq * size)));
      rms[k] = R[k] > 0 && size > 0 ? std::sqrt(std::fabs(sq / size)) / R[k] : 0.0;
      if (!(rms[k] > own)) rms[k] = 0;
      if (cell_finer(m, *cell, tables.of(k, cell->region).least())) d[k] = rms[k] = 0;
      f(cell, k, a);
      rtlib_trap_check();  // while the initial value is the place
    });
  };
  each_cell([&](MeshCell *, uint16_t k, double a) {
    A[k] += a * a, D[k] += d[k] * d[k];
    if (k == 1) cells++;
  });
  double ratio = 0;
  for (uint16_t k = 1; k <= E; k++) {
    A[k] = std::max(A[k], D[k]);
    if (A[k] != 0) ratio += D[k] / A[k];
    A[k] = std::sqrt(A[k] / std::max(cells, 1));
  }
  each_cell([&](MeshCell *cell, uint16_t k, double) {
    if (k == 1) cell->error = 0;
    if (A[k] > 0) cell->error = std::sqrt(cell->error * cell->error + (d[k] / A[k]) * (d[k] / A[k]));
    // A cell's own RMS difference over the range, where it passes the limit own: a narrow
    // front's few small cells weigh little in the sums above, which passed a front off by a
    // fifth of its range.
    cell->error = std::max(cell->error, rms[k]);
    worst = std::max(worst, rms[k]);
  });
  return std::max(E ? std::sqrt(ratio / E) : 0.0, worst);
}

// Whether the value conditions move some node of the start by more than tol of the variable's
// range (the start's values with the conditions' values): a start at 1 in walls held at 0 jumps
// at the walls, however fine the cells there.
static bool value_conditions_jump(pde *p, const vector2d *u, const std::vector<std::vector<double>> &start,
                                  double tol) {
  for (uint16_t k = 1; k <= p->nfield; k++) {
    const std::vector<double> &a = start[k - 1];
    const double *b = u->data[k - 1].data;
    // Halves of the values, whose differences cannot overflow; the jump is weighed as a
    // fraction of the range, which holds it (tol may be near the largest number).
    double lo = HUGE_VAL, hi = -HUGE_VAL, jump = 0;
    for (size_t n = 0; n < a.size(); n++) {
      lo = std::min({lo, a[n] / 2, b[n] / 2}), hi = std::max({hi, a[n] / 2, b[n] / 2});
      jump = std::max(jump, std::fabs(b[n] / 2 - a[n] / 2));
    }
    if (jump > 0 && jump / (hi - lo) > tol) return true;  // jump <= hi - lo: no overflow
  }
  return false;
}

// Each field variable's start as the projection of its initial expression onto the mesh, its
// value conditions held after. Only where every variable has the mesh's basis and no periodic
// tie joins nodes (the projection does not tie a slave to its master).
static void project_start(pde *p, vector2d *u, const double times[2]) {
  Mesh *m = &p->mesh;
  if (m->images.count) return;
  for (uint16_t k = 1; k <= p->nfield; k++)
    if (k <= p->basiscodes.count && p->basiscodes.data[k - 1] && p->basiscodes.data[k - 1] != m->meshbasis) return;
  for (uint16_t k = 1; k <= p->nfield && k <= p->formulas.initregion.count; k++)
    fitting_project(p, &p->formulas.initregion.data[k - 1], u, times[1], &u->data[k - 1]);
  coupling_set_bvals_0(p, u, times);
  ep.values = u;
  ep.t = times[1];
  ep.cell = &cellrec;
}

// The resolution error a time run's start is refined to.
static double start_limit(const pde *p) { return 10 * p->errlim; }

void init_ss(pde *p, const double times[2]) {
  TRACE("init_ss_0");
  // 1. Context and sizes.
  vector2d *u = &p->solution;
  size_solution(p, u);
  ep = start_point(u, times[1]);
  // 2. Scalars at the centroid of the first live cell (cells carry the mesh basis).
  Mesh *m = &p->mesh;
  loading_cells_take_mesh_basis(m);
  int32_t first = 0;
  for (int32_t c = 1; c <= m->cells.count && !first; c++)
    if (m->cells.data[c - 1].alive) first = c;
  if (first && p->nscalar) {
    const MeshCell *cell = &m->cells.data[first - 1];
    meshes_localize(m, cell, &cellrec, 0);
    memcpy(ep.local, p->cellcentre, sizeof ep.local);
    double xyz[3] = {};
    elements_get_gcoords(xyz, ep.local, &cellrec.frame);
    ep.x = xyz[0], ep.y = xyz[1], ep.z = xyz[2];
    ep.cellno = uint32_t(first);
    ep.region = cell->region;
    for (uint16_t s = 1; s <= p->nscalar; s++) {
      uint16_t k = uint16_t(p->nfield + s);
      u->data[k - 1].data[0] = treeval_eval(p, init_tree(p, k, cell->region), &ep);
    }
  }
  // 3. The field values at every node, passes of refinement until a time-dependent
  // start is resolved.
  int32_t p_ = 0, N0 = m->nodes.count;
  double tau = start_limit(p);
  // A cell's own difference counts where it is twice the limit the sums are held to: a smooth
  // start is judged by the sums as before, a front by its cells. Not where value conditions
  // jump from the start: that jump is held, not resolved.
  auto own = [&] { return p->startjump ? HUGE_VAL : 2 * tau; };
  bool resolved = false;
  // The tables the starts read are read at their own resolution while the start is laid,
  // and cells finer than a table's spacing count no resolution error (see above).
  const StartTableSet tables = start_tables(p);
  TablesAtResolution at_resolution(p, tables.read);
  for (;;) {
    p_++;
    loading_cells_take_mesh_basis(m);  // also the cells a refinement made
    fitting_validate_fits(p, &p->initfits, u, times);
    size_solution(p, u);
    String label = lit("Initial Values");
    uint16_t line = display_report_num(&p->status, 0, &label, m->nodes.count);
    for (int32_t n = 1; n <= m->nodes.count; n++) {
      if (!m->nodes.data[n - 1].alive || !loading_localize_node(&ep, m, n, 0)) continue;
      for (uint16_t k = 1; k <= p->nfield; k++)
        u->data[k - 1].data[n - 1] = treeval_eval(p, init_tree(p, k, ep.region), &ep);
      if (n % 1000 == 0) display_update_num(&p->status, line, m->nodes.count - n);
    }
    display_unreport(&p->status, line);
    if (!p->timedep) break;
    std::vector<std::vector<double>> start(p->nfield);
    for (uint16_t k = 1; k <= p->nfield; k++)
      start[k - 1].assign(u->data[k - 1].data, u->data[k - 1].data + m->nodes.count);
    coupling_tabulate_bcs(p);
    coupling_set_bvals_0(p, u, times);
    p->startjump = uint8_t(p->regrid && value_conditions_jump(p, u, start, tau));
    int32_t N = m->nodes.count;
    // The start is resolved no further than the node limit; the log says so.
    if (p->regrid && N >= p->nodelimit) cgsolve_log_note(p, "NODE LIMIT");
    if (!p->regrid || p_ > p->initgridlimit || N >= p->nodelimit || N >= 10 * N0 ||
        display_checkkey(&p->status) || p->stop || p->error)
      break;
    if (resolution_error(p, u, own(), tables) <= tau) {
      resolved = true;
      break;
    }
    if (refiner_refine({p->dimension, p->errlim, &p->work, &p->sortindex}, m, tau, tau, p->nodelimit, &p->carried, 0) <=
        0)
      break;
    if ((p->printgrid || p->dbg_grid) && debug_file) {
      String t = lit("REFINED");
      meshes_print_1(debug_file, m, &t);
    }
    report_panel.tr_status(p);
    String again = lit("Resolving Initial Values");
    display_report(&p->status, 0, &again);
    doplot_status_mesh(p);
    fitting_invalidate_fits(p, 1);
    // The pass limit is met at the loop's head, once the refined mesh has taken the
    // initial values: cut here, its new nodes would keep values interpolated from the
    // cells they split.
    if (display_checkkey(&p->status) || p->stop || p->error) break;
  }
  // A time run whose start the passes left coarser than its error limit says so, and takes
  // the start's projection onto the mesh instead of its values at the nodes: the cells a
  // jump crosses then hold what the expression holds over them (the heat of two
  // half-planes in contact was 8e-4 too large, and stayed so), where the nodes' values
  // would put the jump at the nodes nearest it.
  if (p->timedep && p->regrid && !resolved && !p->error && !p->stop && resolution_error(p, u, own(), tables) > tau) {
    cgsolve_log_note(p, "INITIAL VALUES NOT RESOLVED");
    project_start(p, u, times);
  }
  // 4. Smoothing of a start on a basis of order 2 or more.
  if (p->smoothinit && elements_order[m->meshbasis] >= 2) smoothinit(p);
}

void init_start_values(pde *p, vector2d *u, const double times[2]) {
  TRACE("init_start_values");
  TablesAtResolution at_resolution(p, start_tables(p).read);
  const evalpoint keep = ep;
  ep = start_point(u, times[1]);
  Mesh *m = &p->mesh;
  fitting_validate_fits(p, &p->initfits, u, times);
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    if (!m->nodes.data[n - 1].alive || !loading_localize_node(&ep, m, n, 0)) continue;
    for (uint16_t k = 1; k <= p->nfield && k <= u->count; k++)
      u->data[k - 1].data[n - 1] = treeval_eval(p, init_tree(p, k, ep.region), &ep);
  }
  ep = keep;
}

void init_start_again(pde *p, vector2d *u, const double times[2]) {
  TRACE("init_start_again");
  const StartTableSet tables = start_tables(p);
  TablesAtResolution at_resolution(p, tables.read);
  const evalpoint keep = ep;
  init_start_values(p, u, times);
  coupling_set_bvals_0(p, u, times);
  ep = start_point(u, times[1]);
  double tau = start_limit(p);
  if (p->regrid && resolution_error(p, u, p->startjump ? HUGE_VAL : 2 * tau, tables) > tau) project_start(p, u, times);
  ep = keep;
}

std::vector<double> init_start_misfit(pde *p, vector2d *u, double t) {
  TRACE("init_start_misfit");
  Mesh *m = &p->mesh;
  uint16_t F = uint16_t(std::min<int32_t>(p->nfield, u->count));
  std::vector<double> sq(F, 0.0), size(F, 0.0);
  TablesAtResolution at_resolution(p, start_tables(p).read);
  const evalpoint keep = ep;
  ep = start_point(u, t);
  const QuadRule *rule = quature_rule(p->vrule);
  each_start_cell(p, F, [&](MeshCell *, uint16_t k, TreeNode *tree) {
    double b = 0;
    if (tree && u->data[k - 1].count == m->nodes.count)
      start_misfit_in_cell(p, tree, &u->data[k - 1], rule, &b, &sq[k - 1], &size[k - 1]);
  });
  ep = keep;
  for (uint16_t k = 0; k < F; k++) sq[k] = size[k] > 0 ? std::sqrt(std::fabs(sq[k] / size[k])) : 0.0;
  return sq;
}

// ---- A start held in energy ------------------------------------------------------------
// The values at the nodes of a start that a wave's rate reads through its derivatives
// (dt(v) = div(grad(u))) give that rate the discrete Laplacian of the interpolant, which off an
// even mesh is only first-order right: every refined layout put an error of h^2 in the energy
// of the start, which nothing damps and which the rate carries to the end (a wave pair's rate
// read 3-13 times the error of an even mesh with as many nodes). Its projection in energy, the
// node values whose gradients meet the start's own against every basis function, gives the
// Laplacian of the start to the order of the cells. The start's gradient is read by centred
// differences of its expressions; value conditions hold their nodes.

void init_start_in_energy(pde *p, vector2d *u, const double times[2], uint32_t which) {
  TRACE("init_start_in_energy");
  Mesh *m = &p->mesh;
  int32_t code = m->meshbasis, N = m->nodes.count;
  if (!which || m->images.count || p->dimension != 2 || code < 1) return;
  uint16_t F = uint16_t(std::min<int>({p->nfield, u->count, p->formulas.initregion.count, 32}));
  const int nb = elements_functions[code];
  const QuadRule *rule = quature_rule(p->vrule);
  const evalpoint keep = ep;
  ep = start_point(u, times[1]);
  TablesAtResolution at_resolution(p, start_tables(p).read);
  for (uint16_t k = 1; k <= F; k++) {
    if (!(which & (1u << (k - 1))) || u->data[k - 1].count != N) continue;
    if (k <= p->basiscodes.count && p->basiscodes.data[k - 1] && p->basiscodes.data[k - 1] != code) continue;
    std::vector<char> held(size_t(N) + 1, 0);
    if (k <= p->valuenodes.count)
      for (int32_t i = 0; i < p->valuenodes.data[k - 1].count; i++) {
        int32_t n = p->valuenodes.data[k - 1].data[i];
        if (n >= 1 && n <= N) held[size_t(n)] = 1;
      }
    for (int32_t n = 1; n <= N; n++)
      if (!m->nodes.data[n - 1].alive) held[size_t(n)] = 1;
    struct Work {
      sparsemx K{};
      vectord b{}, D{}, d{};
      ~Work() {
        for (vectord *v : {&b, &D, &d}) vectord_free(v);
        sparsemx_free(&K, 1);
      }
    } w;
    loading_link_matrix(p, &w.K, N, code);
    for (vectord *v : {&w.b, &w.d}) {
      vectord_resize(v, N, N);
      std::fill(v->data, v->data + N, 0.0);
    }
    const double *x = u->data[k - 1].data;
    double phi[20], ld[3][20], gx[20], gy[20];
    for (int32_t c = 1; c <= m->cells.count; c++) {
      const MeshCell *cell = &m->cells.data[c - 1];
      if (!cell->alive) continue;
      meshes_localize(m, cell, &cellrec, 0);
      ep.cellno = uint32_t(c), ep.region = cell->region, ep.side = 0, ep.qpoint = 0;
      TreeNode *tree = init_tree(p, k, cell->region);
      TreesFpScope placed(tree);
      const int32_t *nodes = cellrec.nodes;
      double step = 1e-4 * std::sqrt(std::fabs(cellrec.frame.measure));
      for (int q = 0; q < rule->count; q++) {
        const double *L = rule->points[q].L;
        elements_jacobian(L, &cellrec.frame);
        double wq = rule->points[q].weight * cellrec.frame.measure;
        basisfun_basis_1(phi, code, L);
        basisfun_basis_p(ld, code, L);
        elements_basisx(gx, code, ld, &cellrec.frame);
        elements_basisy(gy, code, ld, &cellrec.frame);
        double xyz[3] = {};
        memcpy(ep.local, L, sizeof ep.local);
        elements_get_gcoords(xyz, ep.local, &cellrec.frame);
        auto at = [&](double dx, double dy) {
          ep.x = xyz[0] + dx, ep.y = xyz[1] + dy, ep.z = xyz[2];
          return treeval_eval(p, tree, &ep);
        };
        // The start's gradient less that of its node values.
        double ux = (at(step, 0) - at(-step, 0)) / (2 * step), uy = (at(0, step) - at(0, -step)) / (2 * step);
        for (int32_t i = 0; i < nb; i++) ux -= gx[i] * x[nodes[i] - 1], uy -= gy[i] * x[nodes[i] - 1];
        for (int32_t i = 0; i < nb; i++) {
          if (held[size_t(nodes[i])]) continue;
          w.b.data[nodes[i] - 1] += wq * (ux * gx[i] + uy * gy[i]);
          for (int32_t j = 0; j < nb; j++)
            if (!held[size_t(nodes[j])])
              sparsemx_addto_0(&w.K, nodes[i], nodes[j], wq * (gx[i] * gx[j] + gy[i] * gy[j]));
        }
      }
      rtlib_trap_check();  // while the initial value is the place
    }
    for (int32_t n = 1; n <= N; n++)
      if (held[size_t(n)]) sparsemx_addto_0(&w.K, n, n, 1.0);
    sparsemx_diag_dip(&w.D, &w.K, 1);
    sparsecg_cg(&w.d, &w.K, nullptr, &w.b, &w.D, nullptr, &p->work, 1e-12, 0, 4000, &p->status, orthomin, diprecon, N);
    for (int32_t n = 1; n <= N; n++)
      if (!held[size_t(n)]) u->data[k - 1].data[n - 1] += w.d.data[n - 1];
  }
  ep = keep;
}

// value := (a + b) / 4 + value / 2 along the edges of every live cell.
void smoothinit(pde *p) {
  TRACE("smoothinit_0");
  Mesh *m = &p->mesh;
  static const int tri6[3][3] = {{4, 2, 3}, {5, 3, 1}, {6, 1, 2}};
  static const int tet10[6][3] = {{5, 2, 3}, {6, 3, 1}, {7, 1, 2}, {8, 4, 1}, {9, 4, 2}, {10, 4, 3}};
  // tri9: per edge the node near a, the node near b, a, b.
  static const int tri9[3][4] = {{6, 9, 1, 2}, {4, 7, 2, 3}, {5, 8, 3, 1}};
  int32_t basis = m->meshbasis;
  if (basis != 5 && basis != 6 && basis != 9) {
    p->smoothinit = 0;
    if (!settings.batch) gag_showmessageindirect(p->pdeview, "SMOOTHINIT is not implented for cubic basis.\nRequest Ignored.", "Warning");
    return;
  }
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell *cell = &m->cells.data[c - 1];
    if (!cell->alive) continue;
    const int32_t *nd = cell->nodes.data;
    for (uint16_t k = 1; k <= p->nfield; k++) {
      double *u = p->solution.data[k - 1].data;
      auto at = [&](int i) -> double & { return u[nd[i - 1] - 1]; };
      if (basis == 5)
        for (auto &e : tri6) at(e[0]) = 0.25 * (at(e[1]) + at(e[2])) + 0.5 * at(e[0]);
      else if (basis == 9)
        for (auto &e : tet10) at(e[0]) = 0.25 * (at(e[1]) + at(e[2])) + 0.5 * at(e[0]);
      else
        for (auto &e : tri9) {
          double before = at(e[0]);
          at(e[0]) = 0.25 * (at(e[2]) + at(e[1])) + 0.5 * at(e[0]);
          at(e[1]) = 0.25 * (before + at(e[3])) + 0.5 * at(e[1]);
        }
    }
  }
}

// A start value in [0, 1) for (vector, variable, node) that depends on nothing else:
// every variable gets its own values, so modes in which the variables differ in sign
// are in the start; and a run's start never depends on what ran before it.
static double start_value(uint32_t vec, uint32_t var, uint32_t node) {
  uint64_t z = (uint64_t(vec) << 48) ^ (uint64_t(var) << 32) ^ node;
  z += 0x9e3779b97f4a7c15ull;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  z ^= z >> 31;
  return double(z >> 11) * 0x1.0p-53;
}

// The orders of the q-th trigonometric start vector, q from 1, across y, x and (in 3D) z:
// the sets of orders from 1 up, in order of the sum of their squares and then of each
// order in turn: (1,1), (1,2), (2,1), (2,2), (1,3), ... in 2D.
static std::array<int, 3> trig_orders(int q, int dim) {
  int seen = 0;
  for (int r2 = dim;; r2++)
    for (int a = 1; a * a < r2; a++)
      for (int b = 1; a * a + b * b <= r2; b++) {
        int c2 = r2 - a * a - b * b, c = int(std::lround(std::sqrt(double(c2))));
        if (dim == 2 ? c2 != 0 : (c < 1 || c * c != c2)) continue;
        if (++seen == q) return {a, b, dim == 2 ? 0 : c};
      }
}

void init_eigen(pde *p) {
  TRACE("init_eigen_0");
  Mesh *m = &p->mesh;
  uint16_t P = p->subspace ? p->subspace : 1;
  pdedat_grow_modesets(p, P);
  vectord_resize(&p->eigenvalues, P, std::max<int32_t>(P, p->eigenvalues.capacity));
  const rect3d &box = m->domain->grid.box;
  double x0 = box.x1, y0 = box.y1, z0 = box.z1, W = box.x2 - box.x1, H = box.y2 - box.y1, D = box.z2 - box.z1;
  for (uint16_t mm = 1; mm <= P; mm++) {
    p->eigenvalues.data[mm - 1] = 1.0;
    vector2d *set = &p->modesets[mm - 1];
    size_solution(p, set);
    // TRIGINIT: variable k of vector mm takes the orders of vector mm + k - 1, counted round
    // the P vectors, so that every variable meets every order and no two variables of a
    // vector start alike: one start shared by all variables would span only the modes in
    // which they are equal. The orders across and along are taken apart (trig_orders), as
    // equal orders span only the modes whose two orders are equal: a mode constant along a
    // periodic direction, sin(2 pi y), has no part in any sin(j pi x) sin(j pi y).
    for (int32_t n = 1; n <= m->nodes.count; n++) {
      const MeshNode &nd = m->nodes.data[n - 1];
      for (uint16_t k = 1; k <= p->nfield; k++) {
        if (!p->triginit) {
          set->data[k - 1].data[n - 1] = start_value(mm, k, uint32_t(n));
          continue;
        }
        auto [a, b, c] = trig_orders((mm - 1 + k - 1) % P + 1, p->dimension);
        double v = std::sin(a * M_PI * (nd.y - y0) / H) * std::sin(b * M_PI * (nd.x - x0) / W);
        if (c && D > 0) v *= std::sin(c * M_PI * (nd.z - z0) / D);
        set->data[k - 1].data[n - 1] = v;
      }
    }
  }
}

void init_initial_val(pde *p, double start) {
  TRACE("init_initial_val_0");
  p->startjump = 0;  // a later stage starts from a solved field
  if (p->stage > 1 && !pdedat_stage_regrids(p)) return;
  String label = lit("Initial Values");
  uint16_t line = display_report(&p->status, 0, &label);
  double times[2] = {start, start};
  if (p->eigen) init_eigen(p);
  else init_ss(p, times);
  display_unreport(&p->status, line);
}
