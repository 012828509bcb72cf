// eigensol: subspace iteration with a Rayleigh-Ritz step, eigen monitors, the modes'
// error measure and regridding.
//
// One concern in one file past 1,000 lines: every part serves the one eigenvalue driver
// (the lambda side as a matrix, the shift of a singular stiffness, the iteration's steps,
// the modes' measure and the regrid of all modes at once) and reads the subspace the
// driver keeps; from outside only the driver and the sizing of the mode sets are called.
// The part that looks most separable, the lambda side as a matrix, is not: its probes ride
// on the subspace's first vector, the driver checks its products against the sweeps, and
// its product shares the four-lane row kernel (row_times) with the projection's K X.
#include "solver/eigensol.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "model/pdedat_record.h"
#include "elements/cellnode.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "solver/measures.h"
#include "model/treeval.h"
#include "plot/doplot.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"
#include "solver/cgsolve.h"
#include "solver/cgsolve_unknowns.h"
#include "solver/coupling.h"
#include "solver/eispack.h"
#include "solver/fitting.h"
#include "solver/init.h"
#include "solver/loading.h"
#include "solver/pairs.h"
#include "solver/sparsecg.h"
#include "solver/sparsechol.h"
#include "solver/bigmatx.h"
#include "solver/sparsemx.h"

EigenRun::~EigenRun() {
  for (matrixd *m : {&amat, &bmat, &qmat}) matrixd_free(m);
  for (vectord *v : {&lambda, &alfr, &alfi, &beta}) vectord_free(v);
}

int eigensol_init() {
  TRACE("eigensol");
  return 0;
}

static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

static bool halted(const pde *p) { return p->stop || p->error || p->skipstages; }
static bool stopkey(pde *p) { return display_checkkey(&p->status) != 0; }
static vector2d *xvec(pde *p, uint16_t j) { return &p->modesets[j - 1]; }

[[noreturn]] static void exec_error(const char *text) {
  String s = lit(text);
  report_exec_err_1(&s);
}

// Four lanes at a time where the processor has them (two pairs where it has not): the
// same IEEE operations per lane either way.
typedef double quad4 __attribute__((vector_size(32), aligned(8), may_alias));
#define QUAD4(a) (*reinterpret_cast<quad4 *>(a))
#define CQUAD4(a) (*reinterpret_cast<const quad4 *>(a))

// y(r) := the sum over the entries e of row r of vals[e] x(keys[e] - base), for the w
// interleaved vectors of x and y (x(k) at x + k*w); each lane from 0.0 in order of e, as
// add_scaled takes it. Eight lanes at a time are summed in registers.
template <class Key> static inline __attribute__((always_inline)) void row_times(double *y, const double *x, int32_t w,
                                                                                 const Key *keys, const double *vals,
                                                                                 int32_t count, int32_t base) {
  int32_t c = 0;
  for (; c + 8 <= w; c += 8) {
    quad4 a0 = {}, a1 = {};
    for (int32_t e = 0; e < count; e++) {
      const double *xr = x + size_t(keys[e] - base) * w + c;
      double v = vals[e];
      quad4 s = {v, v, v, v};
      a0 += CQUAD4(xr) * s, a1 += CQUAD4(xr + 4) * s;
    }
    QUAD4(y + c) = a0, QUAD4(y + c + 4) = a1;
  }
  if (c + 4 <= w) {
    quad4 a0 = {};
    for (int32_t e = 0; e < count; e++) {
      double v = vals[e];
      quad4 s = {v, v, v, v};
      a0 += CQUAD4(x + size_t(keys[e] - base) * w + c) * s;
    }
    QUAD4(y + c) = a0, c += 4;
  }
  if (c < w) {
    std::fill(y + c, y + w, 0.0);
    for (int32_t e = 0; e < count; e++) add_scaled(y + c, x + size_t(keys[e] - base) * w + c, vals[e], w - c);
  }
}

// ---- Subspace vectors in global numbering ----------------------------------------------------


// w := x in unknown order (rows without a variable's unknown 0).
static void gather(pde *p, vectord *w, vector2d *x) {
  std::fill(w->data, w->data + w->count, 0.0);
  cgsolve_each_unknown(p, [&](uint16_t k, int32_t n, int32_t r) { w->data[r - 1] = x->data[k - 1].data[n - 1]; });
}

// ---- The lambda side as a sparse matrix -------------------------------------------------

// The lambda side of a problem whose sources are local and linear in the mode is a
// sparse matrix B with the pattern of the cells' unknowns: B(r, i) is the source in row
// r of the mode that is 1 at unknown i and 0 elsewhere, taken cell by cell. B x then
// stands for a sweep over x; the first
// products of a grid are checked against sweeps and B is dropped at the first that
// differs (the run's lside and lside_checked).
static const int32_t lside_checks = 2;

// True when the sources can only be local and linear in the mode: field unknowns only,
// no periodic folding, no derived globals, no streamline terms.
static bool lambda_local(pde *p) {
  if (p->nt != p->nf || p->nf <= 0 || p->mesh.images.count > 0 || p->fitlist.count > 0) return false;
  uint16_t E = std::min<uint16_t>(p->nfield, uint16_t(p->formulas.equations.count));
  for (uint16_t k = 1; k <= E && p->upwind; k++) {
    const treevector *v = &p->formulas.equations.items[k - 1]->velocity;
    for (int32_t r = 0; r < v->count; r++)
      if (v->data[r]) return false;
  }
  return true;
}

static bool same_source(const LambdaSide *B, const double *x, const double *y, const double *s);

// B by sweeps: unknowns whose patterns meet are coloured apart, so one source sweep on
// the sum of a colour's unit vectors gives every row its one entry of that colour.
static void colour_sweeps(pde *p, LambdaSide *B) {
  int32_t n = p->nt;
  uint16_t F = p->nfield;
  // Colours, smallest first: unknown i avoids the colours of every unknown that
  // shares a row with it (the pattern is symmetric). The unknowns with the most such
  // neighbours take theirs first, which needs fewer colours than the row order.
  auto each_neighbour = [&](int32_t i, auto f) {
    for (int32_t e = B->start[size_t(i)]; e < B->start[size_t(i) + 1]; e++) {
      int32_t r = B->cols[size_t(e)];
      for (int32_t g = B->start[size_t(r)]; g < B->start[size_t(r) + 1]; g++) f(B->cols[size_t(g)]);
    }
  };
  std::vector<int32_t> order(static_cast<size_t>(n)), d2(static_cast<size_t>(n), 0), mark(static_cast<size_t>(n), -1);
  for (int32_t i = 0; i < n; i++) {
    order[size_t(i)] = i;
    each_neighbour(i, [&](int32_t c) {
      if (mark[size_t(c)] != i) mark[size_t(c)] = i, d2[size_t(i)]++;
    });
  }
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return d2[size_t(a)] > d2[size_t(b)]; });
  std::vector<int32_t> colour(size_t(n), -1), seen;
  int32_t colours = 0;
  for (int32_t i : order) {
    each_neighbour(i, [&](int32_t c) {
      int32_t k = colour[size_t(c)];
      if (k < 0) return;
      if (size_t(k) >= seen.size()) seen.resize(size_t(k) + 1, -1);
      seen[size_t(k)] = i;
    });
    int32_t c = 0;
    while (size_t(c) < seen.size() && seen[size_t(c)] == i) c++;
    colour[size_t(i)] = c;
    colours = std::max(colours, c + 1);
  }
  // The entries by the colour of their column.
  std::vector<int32_t> first(size_t(colours) + 1, 0), entries(B->cols.size()), rowof(B->cols.size());
  for (int32_t r = 0; r < n; r++)
    for (int32_t e = B->start[size_t(r)]; e < B->start[size_t(r) + 1]; e++) {
      rowof[size_t(e)] = r;
      first[size_t(colour[size_t(B->cols[size_t(e)])]) + 1]++;
    }
  for (int32_t c = 0; c < colours; c++) first[size_t(c) + 1] += first[size_t(c)];
  {
    std::vector<int32_t> at(first.begin(), first.end() - 1);
    for (size_t e = 0; e < B->cols.size(); e++) entries[size_t(at[size_t(colour[size_t(B->cols[e])])]++)] = int32_t(e);
  }
  // One sweep per colour with the probe in the first subspace vector.
  vector2d *x = xvec(p, 1);
  B->vals.assign(B->cols.size(), 0.0);
  for (int32_t c = 0; c < colours; c++) {
    for (uint16_t k = 1; k <= F; k++) {
      vectord *v = &x->data[k - 1];
      for (int32_t i = 1; i <= v->count; i++) {
        int32_t r = bigmatx_row(&p->layout, k, i);
        v->data[i - 1] = r >= 1 && r <= n && colour[size_t(r - 1)] == c ? 1.0 : 0.0;
      }
    }
    coupling_build_source(p, &p->source, 0, 0, 1);
    for (int32_t a = first[size_t(c)]; a < first[size_t(c) + 1]; a++) {
      int32_t e = entries[size_t(a)];
      B->vals[size_t(e)] = p->source.data[rowof[size_t(e)]];
    }
  }
}

// B cell by cell: each cell's source terms for the unit vector of each of its unknowns,
// added in cell order as the sweeps add them, so each entry is the sweeps' to the bit.
// Terms outside the cells (a natural condition's lambda term) are not seen here: the
// caller compares with a sweep. False when an entry falls outside the pattern.
static bool cell_entries(pde *p, LambdaSide *B) {
  int32_t n = p->nt;
  uint16_t F = p->nfield;
  vector2d *x = xvec(p, 1);
  for (uint16_t k = 1; k <= F; k++) std::fill(x->data[k - 1].data, x->data[k - 1].data + x->data[k - 1].count, 0.0);
  B->vals.assign(B->cols.size(), 0.0);
  Mesh *m = &p->mesh;
  LocalCell lc{};
  evalpoint ep{};
  ep.cell = &lc;
  ep.values = &p->solution;
  double out[20];
  int32_t rows[20];
  for (int32_t c = 1; c <= m->cells.count; c++) {
    const MeshCell *mc = &m->cells.data[c - 1];
    if (!mc->alive) continue;
    meshes_localize(m, mc, &lc, 0);
    uint16_t R = mc->region;
    ep.cellno = uint32_t(c), ep.region = R, ep.side = 0, ep.qpoint = 0, ep.t = 0;
    int32_t nodes = std::min<int32_t>(mc->nodes.count, 20);
    for (uint16_t j = 1; j <= F; j++) {
      vectord *v = &x->data[j - 1];
      for (int32_t a = 0; a < nodes; a++) {
        int32_t node = lc.nodes[a], col = bigmatx_row(&p->layout, j, node);
        if (col < 1 || col > n || node < 1 || node > v->count) continue;
        v->data[node - 1] = 1.0;
        for (uint16_t k = 1; k <= F; k++) {
          const treevector *src = &p->formulas.equations.items[k - 1]->source;
          const TreeNode *tree = R >= 1 && R <= src->count ? src->data[R - 1] : nullptr;
          if (!tree || tree->opcode == op::realzero || (tree->opcode == op::realval && tree->value == 0)) continue;
          int32_t code = k <= p->basiscodes.count && p->basiscodes.data[k - 1] ? p->basiscodes.data[k - 1] : m->meshbasis;
          int32_t got = std::min<int32_t>(treeval_vol_galerkin(p, out, tree, &ep, code), 20);
          for (int32_t b = 0; b < got; b++) rows[b] = bigmatx_row(&p->layout, k, lc.nodes[b]);
          for (int32_t b = 0; b < got; b++) {
            int32_t r = rows[b];
            if (r < 1 || r > n) continue;
            const int32_t *lo = B->cols.data() + B->start[size_t(r - 1)], *hi = B->cols.data() + B->start[size_t(r)];
            const int32_t *at = std::lower_bound(lo, hi, col - 1);
            if (at == hi || *at != col - 1) {
              v->data[node - 1] = 0.0;
              return false;
            }
            B->vals[size_t(at - B->cols.data())] += out[b];
          }
        }
        v->data[node - 1] = 0.0;
      }
    }
  }
  // The sweep's value rows hold no source.
  for (uint16_t k = 1; k <= F && k <= p->valuenodes.count; k++) {
    const vectorl &l = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < l.count; i++) {
      int32_t r = bigmatx_row(&p->layout, k, l.data[i]);
      if (r >= 1 && r <= n)
        for (int32_t e = B->start[size_t(r - 1)]; e < B->start[size_t(r)]; e++) B->vals[size_t(e)] = 0.0;
    }
  }
  return true;
}

// True when B times the kept first vector is its swept source.
static bool sweep_agrees(pde *p, LambdaSide *B, const std::vector<std::vector<double>> &kept) {
  int32_t n = p->nt;
  vector2d *x = xvec(p, 1);
  for (uint16_t k = 1; k <= p->nfield; k++) std::copy(kept[k - 1].begin(), kept[k - 1].end(), x->data[k - 1].data);
  std::vector<double> w(size_t(n), 0.0), y(size_t(n), 0.0);
  cgsolve_each_unknown(p, [&](uint16_t k, int32_t i, int32_t r) { w[size_t(r - 1)] = x->data[k - 1].data[i - 1]; });
  B->n = n;
  eigensol_lambda_times(B, w.data(), y.data(), 1);
  coupling_build_source(p, &p->source, 0, 0, 1);
  bool same = same_source(B, w.data(), y.data(), p->source.data);
  B->n = 0;
  return same;
}

bool eigensol_probe_lambda(pde *p, LambdaSide *B) {
  TRACE("eigensol_probe_lambda");
  B->n = 0;
  B->start.clear(), B->cols.clear(), B->vals.clear();
  if (!lambda_local(p) || p->nmodesets < 1) return false;
  int32_t n = p->nt;
  uint16_t F = p->nfield;
  // 1. The pattern: the unknowns of every live cell couple with each other.
  std::vector<std::vector<int32_t>> rows(static_cast<size_t>(n));
  std::vector<int32_t> cell;
  const Mesh *m = &p->mesh;
  for (int32_t c = 0; c < m->cells.count; c++) {
    const MeshCell *mc = &m->cells.data[c];
    if (!mc->alive) continue;
    cell.clear();
    for (uint16_t k = 1; k <= F; k++)
      for (int32_t a = 0; a < mc->nodes.count; a++) {
        int32_t r = bigmatx_row(&p->layout, k, mc->nodes.data[a]);
        if (r >= 1 && r <= n) cell.push_back(r - 1);
      }
    for (int32_t r : cell) rows[size_t(r)].insert(rows[size_t(r)].end(), cell.begin(), cell.end());
  }
  B->start.assign(size_t(n) + 1, 0);
  for (int32_t r = 0; r < n; r++) {
    std::vector<int32_t> &v = rows[size_t(r)];
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    B->start[size_t(r) + 1] = B->start[size_t(r)] + int32_t(v.size());
  }
  B->cols.reserve(size_t(B->start[size_t(n)]));
  for (auto &v : rows) B->cols.insert(B->cols.end(), v.begin(), v.end());
  rows.clear();
  // 2. The entries, cell by cell; by the colour sweeps should a sweep disagree. The
  // probes go in the first subspace vector, which is kept and put back.
  vector2d *x = xvec(p, 1);
  std::vector<std::vector<double>> kept(F);
  for (uint16_t k = 1; k <= F; k++) kept[k - 1].assign(x->data[k - 1].data, x->data[k - 1].data + x->data[k - 1].count);
  p->mode = 1;
  if (!cell_entries(p, B) || !sweep_agrees(p, B, kept)) colour_sweeps(p, B);
  for (uint16_t k = 1; k <= F; k++) std::copy(kept[k - 1].begin(), kept[k - 1].end(), x->data[k - 1].data);
  p->mode = 0;
  B->n = n;
  return true;
}

// The product's loop is compiled twice (wide vectors where the processor has them); the
// public entry stays a plain function, as a declared function cannot be multiversioned.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
static void
lambda_rows_times(const LambdaSide *B, const double *x, double *y, int32_t w) {
  for (int32_t r = 0; r < B->n; r++) {
    int32_t e = B->start[size_t(r)];
    row_times(y + size_t(r) * w, x, w, B->cols.data() + e, B->vals.data() + e, B->start[size_t(r) + 1] - e, 0);
  }
}
void eigensol_lambda_times(const LambdaSide *B, const double *x, double *y, int32_t w) {
  rtlib_may_trap(lambda_rows_times)(B, x, y, w);
}

// True when y is the swept source s to rounding: each row within 1e-10 of the sum of
// its terms' magnitudes.
static bool same_source(const LambdaSide *B, const double *x, const double *y, const double *s) {
  for (int32_t r = 0; r < B->n; r++) {
    double mag = 0;
    for (int32_t e = B->start[size_t(r)]; e < B->start[size_t(r) + 1]; e++)
      mag += std::fabs(B->vals[size_t(e)] * x[B->cols[size_t(e)]]);
    if (!(std::fabs(y[r] - s[r]) <= 1e-10 * mag + 1e-300)) return false;
  }
  return true;
}

// The lambda side is linear in the mode, so the sources the projection assembles for
// X_1..X_M, combined as eig_expand combines the vectors, are the sources of the new
// subspace: the next sweep takes them instead of assembling each one again. They are
// interleaved as the pass's other blocks, B X_j in row r at r*M + j (the run's held).

// The lambda side of the equations for mode j into the problem's source vector, after
// the value conditions are set on X_j; the held one when it is current.
static void mode_source(pde *p, EigenRun *run, uint16_t j) {
  static const double zero[2] = {0, 0};
  p->mode = j;
  coupling_set_bvals_0(p, xvec(p, j), zero);
  vectord_resize(&p->source, p->nt, std::max(p->nt, p->source.capacity));
  if (run->held_current) {
    uint16_t M = p->subspace;
    for (int32_t r = 0; r < p->nt; r++) p->source.data[r] = run->held[size_t(r) * M + j - 1];
    return;
  }
  if (run->lside.n == p->nt && run->lside.n > 0) {
    vectord *w = vector2d_get_work(&p->work, p->nt);
    gather(p, w, xvec(p, j));
    if (run->lside_checked >= lside_checks) {
      eigensol_lambda_times(&run->lside, w->data, p->source.data, 1);
      vector2d_free_work(w);
      return;
    }
    vectord *y = vector2d_get_work(&p->work, p->nt);
    eigensol_lambda_times(&run->lside, w->data, y->data, 1);
    coupling_build_source(p, &p->source, 0, 0, 1);
    if (same_source(&run->lside, w->data, y->data, p->source.data)) run->lside_checked++;
    else run->lside.n = 0;  // not the sweep: every source is swept from now on
    vector2d_free_work(y);
    vector2d_free_work(w);
    return;
  }
  coupling_build_source(p, &p->source, 0, 0, 1);
}

// ---- A singular stiffness ------------------------------------------------------------------

// K may be singular (a problem whose conditions are all natural has its constants as
// zero modes): inverse iteration on K then diverges along the null space. The sweep
// then solves with K - shift B instead, shift a tenth of the size of the lowest modes
// below 0, so that it finds the modes nearest the shift, the zero modes among them;
// the small problem projects the shifted matrix and adds the shift back (the run's
// shift).

// The largest |A y - b| / |b| of the columns y of the w interleaved in sol (0 for a
// column whose b is 0; infinite where a value is not a number).
static double solves_miss(pde *p, const double *sol, const double *rhs, int32_t w) {
  int32_t n = p->nt;
  // Row by row, so that no block of products is held.
  std::vector<double> ay(static_cast<size_t>(w)), rr(size_t(w), 0.0), bb(size_t(w), 0.0);
  for (int32_t i = 0; i < n; i++) {
    const vectorld &row = p->matrix.data[i];
    std::fill(ay.begin(), ay.end(), 0.0);
    for (int32_t e = 0; e < row.count; e++) add_scaled(ay.data(), sol + size_t(row.keys[e] - 1) * w, row.values[e], w);
    for (int32_t j = 0; j < w; j++) {
      double b = rhs[size_t(i) * w + j], d = ay[size_t(j)] - b;
      rr[size_t(j)] += d * d, bb[size_t(j)] += b * b;
    }
  }
  double worst = 0;
  for (int32_t j = 0; j < w; j++) {
    double q = rr[size_t(j)] > 0 ? std::sqrt(rr[size_t(j)] / bb[size_t(j)]) : 0.0;
    worst = std::isfinite(q) ? std::max(worst, q) : HUGE_VAL;
  }
  return worst;
}

// The unknowns of value conditions, which the shift leaves alone.
static std::vector<char> value_rows(pde *p) {
  std::vector<char> v(size_t(p->nt), 0);
  for (uint16_t k = 1; k <= p->valuenodes.count; k++) {
    const vectorl &l = p->valuenodes.data[k - 1];
    for (int32_t i = 0; i < l.count; i++) {
      int32_t r = bigmatx_row(&p->layout, k, l.data[i]);
      if (r >= 1 && r <= p->nt) v[size_t(r - 1)] = 1;
    }
  }
  return v;
}

// The size of the lowest modes: |x.Kx / x.Bx| for the lowest sine of the domain's box
// in every variable, 1 when that is not a number.
static double lowest_size(pde *p, const EigenRun *run) {
  int32_t n = p->nt;
  const rect3d &box = p->mesh.domain->grid.box;
  double x0 = box.x1, y0 = box.y1, W = box.x2 - box.x1, H = box.y2 - box.y1;
  std::vector<double> x(size_t(n), 0.0), w(size_t(n), 0.0), y(size_t(n), 0.0), bx(size_t(n), 0.0);
  std::vector<char> fixed = value_rows(p);
  cgsolve_each_unknown(p, [&](uint16_t k, int32_t i, int32_t r) {
    const MeshNode &nd = p->mesh.nodes.data[i - 1];
    if (k <= p->nfield && !fixed[size_t(r - 1)])
      x[size_t(r - 1)] = std::sin(M_PI * (nd.x - x0) / W) * std::sin(M_PI * (nd.y - y0) / H);
  });
  for (int32_t r = 0; r < n; r++) w[size_t(r)] = x[size_t(r)] / p->secondscale.data[r];
  sparsemx_mv_block(y.data(), &p->matrix, w.data(), 1);
  eigensol_lambda_times(&run->lside, x.data(), bx.data(), 1);
  double xkx = 0, xbx = 0;
  for (int32_t r = 0; r < n; r++) {
    xkx += x[size_t(r)] * y[size_t(r)] / p->firstscale.data[r];
    xbx += x[size_t(r)] * bx[size_t(r)];
  }
  double q = std::fabs(xkx / xbx);
  return std::isfinite(q) && q > 0 ? q : 1.0;
}

// K - shift B into the scaled matrix, off the value conditions' rows and columns.
static void shift_matrix(pde *p, const EigenRun *run) {
  const LambdaSide &lside = run->lside;
  double shift = run->shift;
  std::vector<char> fixed = value_rows(p);
  for (int32_t r = 0; r < lside.n; r++) {
    if (fixed[size_t(r)]) continue;
    for (int32_t e = lside.start[size_t(r)]; e < lside.start[size_t(r) + 1]; e++) {
      int32_t c = lside.cols[size_t(e)];
      if (fixed[size_t(c)] || lside.vals[size_t(e)] == 0) continue;
      sparsemx_addto_0(&p->matrix, r + 1, c + 1,
                       -shift * p->firstscale.data[r] * lside.vals[size_t(e)] * p->secondscale.data[c]);
    }
  }
}

// After a sweep whose solves failed: the shifted matrix and a fresh start, when the
// shift is not yet taken and the lambda side is known as a matrix; else false.
static bool take_shift(pde *p, EigenRun *run) {
  if (run->shift != 0 || run->lside.n != p->nt || run->lside.n == 0) return false;
  run->shift = -0.1 * lowest_size(p, run);
  shift_matrix(p, run);
  coupling_build_precon(p, &p->matrix);
  init_eigen(p);
  run->held_current = run->held_projected = false;
  return true;
}

// ---- Steps -----------------------------------------------------------------------------

// The interleaved blocks of a pass (the run's block_rhs and block_sol: right-hand sides
// and results of the solves, which the projection takes over for K X and its factors;
// block_vectors: the vectors in unknown order).

// Where a trap in the sources' sweep is reported: at the equation whose rows of the lambda
// side hold its largest entry where that is near the largest number (the products overflow
// in its rows), else at that of the variable of largest range.
static const TreeNode *trap_lside(const pde *p, const LambdaSide &B) {
  int32_t row = -1;
  double big = 0;
  for (int32_t r = 0; r < B.n; r++)
    for (int32_t e = B.start[size_t(r)]; e < B.start[size_t(r) + 1]; e++)
      if (!(std::fabs(B.vals[size_t(e)]) <= big)) big = std::fabs(B.vals[size_t(e)]), row = r;
  if (row >= 0 && !(big < std::sqrt(std::numeric_limits<double>::max()))) return coupling_trap_row(p, row);
  return coupling_trap_widest(p);
}

double e_solve(pde *p, EigenRun *run) {
  TRACE("e_solve");
  uint16_t M = p->subspace;
  String label = lit("MODE");
  uint16_t line = display_report_num(&p->status, 0, &label, 1);
  // The right-hand sides of all M vectors, interleaved, then one solve for all of them.
  int32_t n = p->nt;
  // Solved by the matrix's complete factor, the results take the right-hand sides'
  // place (the factor's solves meet them to rounding, so they are not checked).
  bool exact = M >= 1 && sparsecg_block_factored(&p->matrix, p->solver, p->precon, M);
  std::vector<double> &rhs = run->block_rhs, &sol = exact ? run->block_rhs : run->block_sol, res(M);
  rhs.resize(size_t(n) * M);
  sol.resize(size_t(n) * M);
  for (uint16_t j = 1; j <= M; j++) {
    display_update_num(&p->status, line, j);
    p->mode = j;
    fitting_invalidate_fits(p, 3);
    fitting_validate_fits(p, &p->fitlist, xvec(p, j), 0.0, 0.0);
    {
      TreesFpScope placed(run->lside_trap);
      mode_source(p, run, j);
      rtlib_trap_check();
    }
    // Nothing in the sweep reads the variables' ranges: only the last vector's, which
    // stand after it, are taken.
    if (j == M) measures_get_range(p, xvec(p, j));
    for (int32_t i = 0; i < n; i++) rhs[size_t(i) * M + j - 1] = p->source.data[i] * p->firstscale.data[i];
  }
  // The last vector's system stays in the problem's residual and correction.
  if (M) {
    vectord_resize(&p->residual, n, std::max(n, p->residual.capacity));
    for (int32_t i = 0; i < n; i++) p->residual.data[i] = rhs[size_t(i) * M + M - 1];
  }
  if (M) {
    // A mass or stiffness near the largest number overflows in the solves: reported at
    // the equation of the variable of largest range.
    TreesFpScope placed(coupling_trap_widest(p));
    cgsolve_solve_block(p, sol.data(), rhs.data(), M, p->errlim * p->overshoot * 0.0001, 0, 1, res.data());
    rtlib_trap_check();
  }
  double miss = M == 0 || exact ? 0.0 : solves_miss(p, sol.data(), rhs.data(), M);
  // Solves that missed their right-hand sides (an iterative solve stopped at its limit)
  // are taken by the matrix's complete factor where that fits: a sweep of such results
  // would read as a singular stiffness, or lead the passes astray.
  if (miss > 1e-2 && !stopkey(p)) {
    vectord *x = vector2d_get_work(&p->work, n), *b = vector2d_get_work(&p->work, n);
    bool factored = true;
    for (int32_t j = 0; j < M && factored; j++) {
      for (int32_t i = 0; i < n; i++) b->data[i] = rhs[size_t(i) * M + j];
      factored = sparsecg_solve_complete(x, &p->matrix, b);
      if (factored)
        for (int32_t i = 0; i < n; i++) sol[size_t(i) * M + j] = x->data[i];
    }
    vector2d_free_work(b);
    vector2d_free_work(x);
    if (factored) miss = solves_miss(p, sol.data(), rhs.data(), M);
  }
  run->solves_held = !(miss > 1e-2);
  double sum = 0;
  for (uint16_t j = 1; j <= M; j++) {
    sum += res[j - 1] * res[j - 1];
    vector2d *x = xvec(p, j);
    cgsolve_each_unknown(p, [&](uint16_t k, int32_t i, int32_t r) {
      x->data[k - 1].data[i - 1] = sol[size_t(r - 1) * M + j - 1] * p->secondscale.data[r - 1];
    });
  }
  report_panel.report_time(p, p->lines.elapsed);
  if (M) {
    vectord_resize(&p->delta, n, std::max(n, p->delta.capacity));
    for (int32_t i = 0; i < n; i++) p->delta.data[i] = sol[size_t(i) * M + M - 1];
  }
  display_unreport(&p->status, line);
  run->held_current = false;
  // The results are in the vectors: their block's room is given back for the projection.
  std::vector<double>().swap(run->block_sol);
  return M ? std::sqrt(sum / M) : 0.0;
}


// out(i, c) := the sum over r < rows of v[r*vs + i*vi] m[r*ms + c], for i < ni and c < cols,
// out(i, c) at out[i*os + c]; each sum in order of r from 0.0 (with keep, from out(i, c) as
// it stands). Up to four i and eight columns are summed in registers at a time, so that
// each row of m is read once for four i; every sum takes the same terms in the same order
// whatever its tile.
template <int NI, int NQ>
static inline __attribute__((always_inline)) void combine_tile(double *out, int32_t os, const double *m, int32_t ms,
                                                               const double *v, int32_t vs, int32_t vi, int32_t rows,
                                                               bool keep) {
  quad4 a[NI][NQ];
#pragma GCC unroll 4
  for (int i = 0; i < NI; i++)
#pragma GCC unroll 2
    for (int h = 0; h < NQ; h++) a[i][h] = keep ? CQUAD4(out + size_t(i) * os + 4 * h) : quad4{};
  for (int32_t r = 0; r < rows; r++) {
    const double *mr = m + size_t(r) * ms;
    quad4 row[NQ];
#pragma GCC unroll 2
    for (int h = 0; h < NQ; h++) row[h] = CQUAD4(mr + 4 * h);
#pragma GCC unroll 4
    for (int i = 0; i < NI; i++) {
      double x = v[size_t(r) * vs + size_t(i) * vi];
      quad4 vr = {x, x, x, x};
#pragma GCC unroll 2
      for (int h = 0; h < NQ; h++) a[i][h] += row[h] * vr;
    }
  }
#pragma GCC unroll 4
  for (int i = 0; i < NI; i++)
#pragma GCC unroll 2
    for (int h = 0; h < NQ; h++) QUAD4(out + size_t(i) * os + 4 * h) = a[i][h];
}

// The last NC columns (fewer than four), one by one.
template <int NI, int NC>
static inline __attribute__((always_inline)) void combine_tail(double *out, int32_t os, const double *m, int32_t ms,
                                                               const double *v, int32_t vs, int32_t vi, int32_t rows,
                                                               bool keep) {
  double a[NI][NC];
#pragma GCC unroll 4
  for (int i = 0; i < NI; i++)
#pragma GCC unroll 3
    for (int c = 0; c < NC; c++) a[i][c] = keep ? out[size_t(i) * os + c] : 0.0;
  for (int32_t r = 0; r < rows; r++) {
    const double *mr = m + size_t(r) * ms;
#pragma GCC unroll 4
    for (int i = 0; i < NI; i++) {
      double x = v[size_t(r) * vs + size_t(i) * vi];
#pragma GCC unroll 3
      for (int c = 0; c < NC; c++) a[i][c] += mr[c] * x;
    }
  }
#pragma GCC unroll 4
  for (int i = 0; i < NI; i++)
#pragma GCC unroll 3
    for (int c = 0; c < NC; c++) out[size_t(i) * os + c] = a[i][c];
}

template <int NI>
static inline __attribute__((always_inline)) void combine_rows(double *out, int32_t os, const double *m, int32_t ms,
                                                               const double *v, int32_t vs, int32_t vi, int32_t rows,
                                                               int32_t cols, bool keep) {
  int32_t c = 0;
  for (; c + 8 <= cols; c += 8) combine_tile<NI, 2>(out + c, os, m + c, ms, v, vs, vi, rows, keep);
  if (c + 4 <= cols) combine_tile<NI, 1>(out + c, os, m + c, ms, v, vs, vi, rows, keep), c += 4;
  if (cols - c == 1) combine_tail<NI, 1>(out + c, os, m + c, ms, v, vs, vi, rows, keep);
  if (cols - c == 2) combine_tail<NI, 2>(out + c, os, m + c, ms, v, vs, vi, rows, keep);
  if (cols - c == 3) combine_tail<NI, 3>(out + c, os, m + c, ms, v, vs, vi, rows, keep);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
static void
combine_block(double *out, int32_t os, const double *m, int32_t ms, const double *v, int32_t vs, int32_t vi,
              int32_t rows, int32_t ni, int32_t cols, bool keep = false) {
  int32_t i = 0;
  for (; i + 4 <= ni; i += 4)
    combine_rows<4>(out + size_t(i) * os, os, m, ms, v + size_t(i) * vi, vs, vi, rows, cols, keep);
  for (; i < ni; i++) combine_rows<1>(out + size_t(i) * os, os, m, ms, v + size_t(i) * vi, vs, vi, rows, cols, keep);
}

// Rows r0 .. r0 + rows - 1 of the matrix times the w interleaved vectors of x (unknown k
// at x + (k - 1)*w), into y from its start.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
static void
matrix_rows_times(double *y, const sparsemx *A, int32_t r0, int32_t rows, const double *x, int32_t w) {
  for (int32_t r = 0; r < rows; r++) {
    const vectorld &row = A->data[r0 + r];
    row_times(y + size_t(r) * w, x, w, row.keys, row.values, row.count, 1);
  }
}

// out[j] := in[j] / d for j < m, four at a time where the processor has 256-bit vectors:
// each a single IEEE division, as alone. out may be in.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
static void
divide_by(double *out, const double *in, double d, int32_t m) {
  const quad4 dd = {d, d, d, d};
  int32_t j = 0;
  for (; j + 4 <= m; j += 4) *reinterpret_cast<quad4 *>(out + j) = *reinterpret_cast<const quad4 *>(in + j) / dd;
  for (; j < m; j++) out[j] = in[j] / d;
}

void subspace(pde *p, EigenRun *run, matrixd *a, matrixd *b) {
  TRACE("subspace");
  uint16_t M = p->subspace;
  matrixd_resize(a, M, M);
  matrixd_resize(b, M, M);
  int32_t n = p->nt;
  run->held_current = run->held_projected = false;
  if (M == 0) return;
  // The vectors in unknown order, interleaved (G(r, i) at r*M + i), after their value
  // conditions are set (g1); before them (g0) they differ only in the value rows, which
  // g0 keeps (value row v of the list `before` at v*M + i). Their sources s.
  std::vector<double> &g1 = run->block_vectors, &s = run->held, g0;
  std::vector<int32_t> before(size_t(n), -1);
  {
    std::vector<char> fixed = value_rows(p);
    int32_t count = 0;
    for (int32_t r = 0; r < n; r++)
      if (fixed[size_t(r)]) before[size_t(r)] = count++;
    g0.assign(size_t(count) * M, 0.0);
  }
  for (uint16_t i = 1; i <= M; i++) {
    vector2d *x = xvec(p, i);
    cgsolve_each_unknown(p, [&](uint16_t v, int32_t m, int32_t r) {
      if (before[size_t(r - 1)] >= 0) g0[size_t(before[size_t(r - 1)]) * M + i - 1] = x->data[v - 1].data[m - 1];
    });
  }
  s.resize(size_t(n) * M);
  bool product = run->lside.n == n && run->lside_checked >= lside_checks;
  for (uint16_t j = 1; j <= M; j++) {
    if (product) {
      static const double zero[2] = {0, 0};
      p->mode = j;
      coupling_set_bvals_0(p, xvec(p, j), zero);
      continue;
    }
    mode_source(p, run, j);
    for (int32_t r = 0; r < n; r++) s[size_t(r) * M + j - 1] = p->source.data[r];
  }
  g1.assign(size_t(n) * M, 0.0);
  for (uint16_t i = 1; i <= M; i++) {
    vector2d *x = xvec(p, i);
    cgsolve_each_unknown(p, [&](uint16_t v, int32_t m, int32_t r) {
      g1[size_t(r - 1) * M + i - 1] = x->data[v - 1].data[m - 1];
    });
  }
  if (product) eigensol_lambda_times(&run->lside, g1.data(), s.data(), M);
  vectord_resize(&p->source, n, std::max(n, p->source.capacity));
  for (int32_t r = 0; r < n; r++) p->source.data[r] = s[size_t(r) * M + M - 1];
  // K X_j for every j: the vectors divided by the column scale, the products by the
  // row scale.
  std::vector<double> &w = run->block_rhs;
  w.assign(size_t(n) * M, 0.0);
  cgsolve_each_unknown(p, [&](uint16_t, int32_t, int32_t r) {
    rtlib_may_trap(divide_by)(w.data() + size_t(r - 1) * M, g1.data() + size_t(r - 1) * M, p->secondscale.data[r - 1],
                              M);
  });
  // A(i, j) = X_i . K X_j and B(i, j) = X_i . S_j, each sum in row order, X_i as the
  // vectors stood when vector j was taken in turn: with its value conditions set for
  // i <= j, before them for i > j (column i of g0 made whole in `col`). K X is formed a
  // slice of rows at a time (each row summed in column order from 0.0, as a product
  // takes it, then divided by the row scale), and every sum goes on from the last
  // slice's, so no block of products is held.
  std::fill(a->data, a->data + size_t(M) * M, 0.0);
  std::fill(b->data, b->data + size_t(M) * M, 0.0);
  const int32_t slice = 64;
  std::vector<double> kr(size_t(slice) * M);
  for (int32_t r0 = 0; r0 < n; r0 += slice) {
    int32_t rows = std::min(slice, n - r0);
    rtlib_may_trap(matrix_rows_times)(kr.data(), &p->matrix, r0, rows, w.data(), M);
    for (int32_t r = 0; r < rows; r++) {
      double *y = kr.data() + size_t(r) * M;
      rtlib_may_trap(divide_by)(y, y, p->firstscale.data[r0 + r], M);
    }
    const double *sr = s.data() + size_t(r0) * M, *gr = g1.data() + size_t(r0) * M;
    // Over a run of rows free of value conditions X_i is the same before and after them:
    // every row i of A and B takes the run at once. A row of a value condition takes X_i
    // as it stood before them for the columns j < i.
    for (int32_t r = 0; r < rows;) {
      int32_t e = r;
      while (e < rows && before[size_t(r0 + e)] < 0) e++;
      if (e > r) {
        const double *g = gr + size_t(r) * M;
        rtlib_may_trap(combine_block)(a->data, M, kr.data() + size_t(r) * M, M, g, M, 1, e - r, M, M, true);
        rtlib_may_trap(combine_block)(b->data, M, sr + size_t(r) * M, M, g, M, 1, e - r, M, M, true);
      }
      if (e == rows) break;
      const double *k = kr.data() + size_t(e) * M, *sv = sr + size_t(e) * M, *g = gr + size_t(e) * M;
      const double *h = g0.data() + size_t(before[size_t(r0 + e)]) * M;
      for (uint16_t i = 0; i < M; i++) {
        double *ai = a->data + size_t(i) * M, *bi = b->data + size_t(i) * M;
        for (uint16_t j = 0; j < M; j++) {
          double x = j < i ? h[i] : g[i];
          ai[j] += k[j] * x;
          bi[j] += sv[j] * x;
        }
      }
      r = e + 1;
    }
  }
  // The vectors in unknown order are made afresh by the next projection: their room
  // is given back for the sweep between.
  std::vector<double>().swap(g1);
  run->held_projected = true;
}

bool sub_eigs(pde *p, EigenRun *run, vectord *lam, matrixd *q, matrixd *a, matrixd *b) {
  TRACE("sub_eigs");
  int32_t M = a->rows;
  vectord_resize(lam, M, std::max(M, lam->capacity));
  if (p->eispack) {
    uint16_t ierr = 0;
    vectord &alfr = run->alfr, &alfi = run->alfi, &beta = run->beta;
    eispack_rgg(a, b, &alfr, &alfi, &beta, 1, q, &ierr);
    if (ierr) rtlib_fatal_in("sub_eigs", "RGG failure");
    // A zero beta is an infinite eigenvalue: never divided by.
    for (int32_t i = 0; i < M; i++)
      lam->data[i] = beta.data[i] != 0 ? alfr.data[i] / beta.data[i] : std::numeric_limits<double>::infinity();
  } else {
    matrixd_symmetrize(b);
    if (!matrixd_gen_eig(lam, q, a, b)) exec_error("Choleski Factorization Failed");
  }
  // Ascending magnitude, infinite values last, equal magnitudes in their earlier order.
  std::vector<int32_t> order(static_cast<size_t>(M));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t x, int32_t y) { return std::fabs(lam->data[x]) < std::fabs(lam->data[y]); });
  std::vector<double> vals(static_cast<size_t>(M)), cols(static_cast<size_t>(M) * M);
  for (int32_t i = 0; i < M; i++) vals[size_t(i)] = lam->data[order[size_t(i)]];
  for (int32_t r = 0; r < M; r++)
    for (int32_t c = 0; c < M; c++) cols[size_t(r * M + c)] = q->data[r * M + order[size_t(c)]];
  for (double &v : vals) v += run->shift;
  std::copy(vals.begin(), vals.end(), lam->data);
  std::copy(cols.begin(), cols.end(), q->data);
  for (int32_t i = 0; i < std::min<int32_t>(M, p->modes); i++)
    if (std::isinf(lam->data[i])) exec_error("Infinite Eigenvalue");
  return true;
}

void eig_expand(pde *p, EigenRun *run, const matrixd *q) {
  TRACE("eig_expand");
  uint16_t M = p->subspace, V = cgsolve_varcount(p);
  // Four nodes at a time: their old values (node b's at old[b*M + j]) and new ones.
  const int32_t B = 4;
  std::vector<double> old(size_t(B) * M), sum(size_t(B) * M), norm(M, 0.0);
  int64_t entries = 0;
  for (uint16_t k = 1; k <= V; k++) {
    int32_t n = p->modesets[0].data[k - 1].count;
    entries += n;
    for (int32_t i0 = 0; i0 < n; i0 += B) {
      int32_t nb = std::min(B, n - i0);
      for (uint16_t j = 0; j < M; j++) {
        const double *x = p->modesets[j].data[k - 1].data + i0;
        for (int32_t b = 0; b < nb; b++) old[size_t(b) * M + j] = x[b];
      }
      rtlib_may_trap(combine_block)(sum.data(), M, q->data, M, old.data(), 1, M, M, nb, M, false);
      for (int32_t b = 0; b < nb; b++)
        for (uint16_t j = 0; j < M; j++) {
          double y = sum[size_t(b) * M + j];
          p->modesets[j].data[k - 1].data[i0 + b] = y;
          norm[j] += y * y;
        }
    }
  }
  // The held sources follow the vectors: the same combination, the same scale.
  std::vector<double> &held = run->held;
  bool follow = run->held_projected && M > 0 && held.size() == size_t(p->nt) * M;
  run->held_projected = false;
  if (follow)
    for (size_t i = 0; i < size_t(p->nt); i += B) {
      int32_t nb = int32_t(std::min<size_t>(B, size_t(p->nt) - i));
      double *rows = held.data() + i * M;
      rtlib_may_trap(combine_block)(sum.data(), M, q->data, M, rows, 1, M, M, nb, M, false);
      std::copy(sum.begin(), sum.begin() + size_t(nb) * M, rows);
    }
  // A vector that vanished keeps its zeros rather than becoming NaN.
  for (uint16_t j = 0; j < M; j++) {
    if (!(norm[j] > 0) || entries == 0) continue;
    double f = 1.0 / std::sqrt(norm[j] / double(entries));
    for (uint16_t k = 1; k <= V; k++) {
      vectord *x = &p->modesets[j].data[k - 1];
      for (int32_t i = 0; i < x->count; i++) x->data[i] *= f;
    }
    if (follow)
      for (size_t i = 0; i < size_t(p->nt); i++) held[i * M + j] *= f;
  }
  run->held_current = follow;
}

double eigensol_pass_error(const double *lam, const double *old, int32_t m, double least) {
  if (m <= 0) return 0.0;
  double big = 0;
  for (int32_t i = 0; i < m; i++) big = std::max(big, std::fabs(lam[i]));
  double sum = 0;
  for (int32_t i = 0; i < m; i++) {
    double d = big > 0 ? std::max({std::fabs(lam[i]), 1e-12 * big, least}) : 1.0;
    double e = (lam[i] - old[i]) / d;
    sum += e * e;
  }
  return std::sqrt(sum / m);
}

// ---- Driver ------------------------------------------------------------------------------

// The monitors of every mode; false when the stop key ended the run.
static bool show_modes(pde *p) {
  for (uint16_t i = 1; i <= p->modes; i++) {
    if (stopkey(p)) return false;
    p->mode = i;
    fitting_invalidate_fits(p, 3);
    doplot_show_eig_monitors(p, &p->monitors, i);
  }
  return true;
}

// Iteration passes on the current grid; false when the stop key ended the run. The
// pass limit, not the error, ended them when *unconverged is left set.
static bool iterate(pde *p, EigenRun *run, double tol, int32_t *clock, int32_t *interval, bool *unconverged) {
  uint16_t M = p->subspace, m = p->modes;
  double err = 1.0;
  String lp = lit("Pass"), le = lit("Lambda Err");
  for (int32_t pass = 1;; pass++) {
    report_panel.eig_status(p);
    uint16_t lpass = display_report_num(&p->status, 0, &lp, pass);
    uint16_t lerr = display_report_real(&p->status, 0, &le, err);
    e_solve(p, run);
    if (!run->solves_held) {
      // A sweep that could not solve: once more from the start on the shifted matrix.
      if (!take_shift(p, run))
        exec_error("Eigenvalue Solve Diverged: the stiffness may be singular; write (lambda-S) for lambda, "
                   "with S > 0, and subtract S from each eigenvalue");
      display_unreport(&p->status, lerr);
      display_unreport(&p->status, lpass);
      pass = 0;
      err = 1.0;
      continue;
    }
    subspace(p, run, &run->amat, &run->bmat);
    sub_eigs(p, run, &run->lambda, &run->qmat, &run->amat, &run->bmat);
    if (p->dbg_modes && debug_file) vectord_print_1(debug_file, &run->lambda, "SUBSPACE EIGENVALUES");
    eig_expand(p, run, &run->qmat);
    err = eigensol_pass_error(run->lambda.data, p->eigenvalues.data, m, std::fabs(run->shift));
    report_panel.report_time(p, p->lines.elapsed);
    display_update_real(&p->status, lerr, err);
    if (p->log) {
      report_panel.log_time_1(p);
      fprintf(p->log, " Pass %d Lambda Err=%g\n", pass, err);
      fflush(p->log);
    }
    std::copy(run->lambda.data, run->lambda.data + M, p->eigenvalues.data);
    if (rtlib_elapsed_ms(*clock) > *interval) {
      int32_t start = rtlib_elapsed_ms(0);
      if (!show_modes(p)) return false;
      int32_t took = rtlib_elapsed_ms(start);
      *clock = rtlib_elapsed_ms(0);
      *interval = std::max(*interval, 10 * took);
    }
    display_unreport(&p->status, lerr);
    display_unreport(&p->status, lpass);
    *unconverged = !(err < tol) && !halted(p);
    if (err < tol || pass > p->eigpasslimit || halted(p)) return true;
  }
}

// An error at the MODES switch.
[[noreturn]] static void modes_error(pde *p, const std::string &text) {
  static std::string kept;  // the report does not return: the text lives on
  kept = text;
  String s = lit(kept.c_str());
  report_parse_err_0(p, &p->modesloc, &s);
}

// The grid's free unknowns: the field unknowns of equations that no value condition holds,
// no periodic tie joins to its master and no deleted node carries.
static int32_t free_unknowns(pde *p) {
  std::vector<char> fixed = value_rows(p);
  uint16_t E = std::min<uint16_t>(p->nfield, uint16_t(p->formulas.equations.count));
  for (uint16_t k = 1; k <= E; k++) {
    const vectorll *im = &p->mesh.images;
    for (int32_t i = 0; i < im->count; i++) {
      int32_t r = bigmatx_row(&p->layout, k, im->keys[i]);
      if (r >= 1 && r <= p->nt) fixed[size_t(r - 1)] = 1;
    }
  }
  int32_t n = 0;
  cgsolve_each_unknown(p, [&](uint16_t k, int32_t i, int32_t r) {
    n += k <= E && !fixed[size_t(r - 1)] && p->mesh.nodes.data[i - 1].alive;
  });
  return n;
}

int32_t eigensol_do_eigen(pde *p) {
  TRACE("eigensol_do_eigen");
  // 1. The small problem's storage, the monitor clock, the counts. Without a LAMBDA side
  // every eigenvalue is infinite.
  if (!coupling_lambda_present(p)) modes_error(p, "No LAMBDA term is present: an eigenvalue problem needs one");
  double tol = 0.1 * p->errlim;
  uint16_t M = p->subspace, m = p->modes;
  // The subspace on each grid holds no more vectors than the grid has free unknowns: more
  // are dependent, which makes the projected B singular (the Cholesky path fails on it) and
  // the dense step's eigenvalues wrong. The chosen size comes back when the run ends.
  struct Subspace {
    pde *p;
    uint16_t chosen;
    ~Subspace() { p->subspace = chosen; }
  } subspace_size{p, M};
  EigenRun record;
  EigenRun *run = &record;
  matrixd_resize(&run->amat, M, M);
  matrixd_resize(&run->bmat, M, M);
  matrixd_resize(&run->qmat, M, M);
  vectord_resize(&run->lambda, M, std::max<int32_t>(M, run->lambda.capacity));
  if (p->eigenvalues.count < M) {
    int32_t was = p->eigenvalues.count;
    vectord_resize(&p->eigenvalues, M, std::max<int32_t>(M, p->eigenvalues.capacity));
    std::fill(p->eigenvalues.data + was, p->eigenvalues.data + M, 1.0);
  }
  int32_t clock = rtlib_elapsed_ms(0);
  int32_t interval = std::max(p->deadtime, p->monitordelay);
  p->regrids = 0;
  static const double zero[2] = {0, 0};
  for (;;) {
    // 2. The grid: layout, conditions and the Jacobian.
    p->regrids++;
    run->held_projected = run->held_current = false;
    report_panel.eig_status(p);
    p->subspace = M;  // the layout is chosen by the chosen size
    loading_map_matrix(p, 3);
    coupling_tabulate_bcs(p);
    // More modes than the grid has free unknowns are no modes of it (and a subspace of
    // thousands of vectors would take its dense step for ever).
    int32_t free = free_unknowns(p);
    if (m > free)
      modes_error(p, "MODES = " + std::to_string(m) + " asks for more modes than the mesh has free unknowns (" +
                         std::to_string(free) + ")");
    p->subspace = uint16_t(std::min<int32_t>(M, free));
    p->mode = 0;
    coupling_ss_matrix(p, xvec(p, 1), zero);
    eigensol_probe_lambda(p, &run->lside);
    run->lside_checked = 0;
    run->lside_trap = trap_lside(p, run->lside);
    if (run->shift != 0) {
      if (run->lside.n == p->nt && run->lside.n > 0) shift_matrix(p, run);
      else run->shift = 0;
    }
    // Where the passes solve by the matrix's complete factor the incomplete one would
    // never be read: it is not made, and the last grid's is given back.
    if (sparsecg_block_factored(&p->matrix, p->solver, p->precon, p->subspace)) sparsemx_free(&p->precmx, 1);
    else coupling_build_precon(p, &p->matrix);
    // 3. The iteration passes.
    bool unconverged = false;
    if (!iterate(p, run, tol, &clock, &interval, &unconverged)) return p->phase;
    // 4. The modes' displays and error measure.
    double e = 0;
    if (p->monitors.count == 0) {
      // Nothing is shown between the modes' measures: they are made together, the cells
      // visited once for all modes.
      std::vector<vector2d *> modes(m);
      for (uint16_t i = 1; i <= m; i++) {
        if (stopkey(p)) return p->phase;
        p->mode = i;
        fitting_invalidate_fits(p, 3);
        modes[i - 1] = xvec(p, i);
      }
      e = measures_measure_modes(p, modes.data(), p->eigenvalues.data, m);
    } else {
      for (uint16_t i = 1; i <= m; i++) {
        if (stopkey(p)) return p->phase;
        p->mode = i;
        fitting_invalidate_fits(p, 3);
        doplot_show_eig_monitors(p, &p->monitors, i);
        e = measures_measure(p, xvec(p, i), 0, p->eigenvalues.data[i - 1], i >= 2);
      }
    }
    // 5. RMS and MAX error, the run-log line.
    double f = 1.0 / std::sqrt(double(m));
    p->rmserr = e * f;
    for (int32_t c = 1; c <= p->mesh.cells.count; c++)
      if (p->mesh.cells.data[c - 1].alive) p->mesh.cells.data[c - 1].error *= f;
    p->maxerr = measures_max_measure(&p->mesh.cells) / (p->sensitivity > 0 ? p->sensitivity : 1.0);
    if (p->resolves.count) measures_resolve(p, 0);
    report_panel.eig_status(p);
    cgsolve_log_linstep(p);
    // 6. The regrid decision. This grid's factor, lambda side and blocks serve no
    // further pass here: their room is given back before the mesh is refined.
    sparsechol_release();
    run->lside = LambdaSide{};
    for (std::vector<double> *v : {&run->held, &run->block_rhs, &run->block_sol, &run->block_vectors})
      std::vector<double>().swap(*v);
    run->held_projected = run->held_current = false;
    int32_t changes = p->regrid && !halted(p) ? cgsolve_split_check(p) : 0;
    if (changes < 1 || p->regrids >= p->gridlimit || stopkey(p) || halted(p)) {
      // The run ends on this grid: say so when its passes did not converge.
      if (unconverged && !halted(p))
        cgsolve_not_converged(p, "PASS LIMIT: EIGENVALUES NOT CONVERGED", "PASS LIMIT: EIGENVALUES NOT CONVERGED");
      break;
    }
  }
  // 7. The end; the run's record (its shift among the rest) goes with it.
  report_panel.eig_status(p);
  p->mode = 0;
  return p->stop || p->error ? p->phase : 8;
}

void eigensol_size_sets(pde *p) {
  TRACE("eigensol_size_sets");
  uint16_t P = p->subspace, V = cgsolve_varcount(p);
  pdedat_grow_modesets(p, P);
  int32_t N = p->mesh.nodes.count, F = int32_t(P) * p->nfield;
  vectorvd_resize(&p->carried, F, std::max(F, p->carried.capacity));
  for (uint16_t j = 1; j <= P; j++) {
    vector2d *s = xvec(p, j);
    if (s->count < V) vector2d_resize(s, V, std::max<int32_t>(V, s->capacity));
    for (uint16_t k = 1; k <= V; k++) {
      int32_t n = k <= p->nfield ? N : 1;
      vectord_resize(&s->data[k - 1], n, std::max(n, s->data[k - 1].capacity));
      if (k <= p->nfield) p->carried.data[(j - 1) * p->nfield + k - 1] = &s->data[k - 1];
    }
  }
}
