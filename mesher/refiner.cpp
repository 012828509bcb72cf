// refiner: the merge and split passes of adaptive refinement.
#include "mesher/refiner.h"

#include <algorithm>
#include <cmath>

#include "elements/meshes.h"
#include "graphics/display.h"
#include "graphics/gagscren.h"
#include "mesher/refine1.h"
#include "mesher/refine2.h"
#include "mesher/refine3.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/vector2d.h"
#include "runtime/vectorl.h"

int refiner_init() {
  TRACE("refiner");
  return 0;
}

static MeshCell &cell_at(Mesh *m, int32_t c) { return m->cells.data[c - 1]; }

int32_t refiner_count_splits(Mesh *m, double limit) {
  TRACE("refiner_count_splits");
  int32_t n = 0;
  for (int32_t c = 1; c <= m->cells.count; c++)
    if (cell_at(m, c).alive && cell_at(m, c).error > limit) n++;
  return n;
}

// The status line and the work vector, released on every exit.
namespace {
struct Hold {
  pad *panel;
  uint16_t line;
  vectord *work;
  Hold(vector2d *pool, Mesh *m) : panel(m->status), line(0) {
    String label = {10, 0, const_cast<char *>("Regridding")};
    if (panel) line = display_report(panel, 0, &label);
    work = vector2d_get_work(pool, 1);
  }
  ~Hold() {
    if (panel) display_unreport(panel, line);
    vector2d_free_work(work);
  }
};
}  // namespace

static uint16_t merge_one(uint16_t dimension, Mesh *m, int32_t c, double threshold) {
  switch (dimension) {
    case 1: return refine1_mergecell1(m, c, m->meshbasis, threshold);
    case 3: return refine3_mergecell3(m, c, m->meshbasis, threshold);
    default: return refine2_mergecell2(m, c, m->meshbasis, threshold);
  }
}
static void split_one(uint16_t dimension, Mesh *m, int32_t c, vectorvd *values) {
  switch (dimension) {
    case 1: refine1_subdivide1(m, c, m->meshbasis, values, 1); break;
    case 3: refine3_subdivide3(m, c, m->meshbasis, values, 1); break;
    default: refine2_subdivide2(m, c, m->meshbasis, values, 1, 1); break;
  }
}

// A triangle's parent in the history: the kept triangle its centroid lies in, or none.
static const RefineHistory::Parent *parent_of(const RefineHistory &h, double x, double y) {
  for (const RefineHistory::Parent &q : h.parents) {
    bool neg = false, pos = false;
    for (int k = 0; k < 3; k++) {
      int j = (k + 1) % 3;
      double s = (q.x[j] - q.x[k]) * (y - q.y[k]) - (q.y[j] - q.y[k]) * (x - q.x[k]);
      neg = neg || s < 0, pos = pos || s > 0;
    }
    if (!(neg && pos)) return &q;
  }
  return nullptr;
}

// Whether a triangle has a vertex at a joint of the domain's boundary (a corner), where a
// solution's derivatives may be infinite.
static bool at_joint(Mesh *m, const MeshCell &cell) {
  for (int k = 0; k < 3; k++)
    if (m->nodes.data[cell.nodes.data[k] - 1].kind == 1) return true;
  return false;
}

// The vertices of a triangle into q, and its area.
static double vertices_of(Mesh *m, const MeshCell &cell, RefineHistory::Parent *q) {
  for (int k = 0; k < 3; k++) {
    const MeshNode &v = m->nodes.data[cell.nodes.data[k] - 1];
    q->x[k] = v.x, q->y[k] = v.y;
  }
  return 0.5 * std::fabs((q->x[1] - q->x[0]) * (q->y[2] - q->y[0]) - (q->y[1] - q->y[0]) * (q->x[2] - q->x[0]));
}

// Caps the estimates at cap, but for triangles at a corner whose estimate fell slowly (see
// RefineHistory) since their parent's refinement, and their parent's since its own: theirs are raised so
// that the passes, which take a quarter off at each split, split them as often as the fall
// they showed asks, at most kMostSplits times, where they stand more than four error limits
// over the run's error limit errlim (within that, one split at a quarter brings them to it, and
// splitting them deeper only adds a grid). Then the cells far above the limit are kept as the
// parents of the next refinement.
static void cap_by_history(Mesh *m, double limit, double cap, double errlim, RefineHistory *h) {
  const int kMostSplits = 6;
  const size_t kMostParents = 256;
  const double far_above = 4 * limit, most = limit * 1.01 * std::pow(4.0, kMostSplits - 1);
  std::vector<RefineHistory::Parent> next;
  for (int32_t c = 1; c <= m->cells.count; c++) {
    MeshCell &cell = cell_at(m, c);
    double e = cell.error;
    cell.error = std::min(e, cap);
    if (!cell.alive || cell.nodes.count < 3 || !(e > limit)) continue;
    RefineHistory::Parent here{};
    here.error = e, here.area = vertices_of(m, cell, &here);
    double cx = (here.x[0] + here.x[1] + here.x[2]) / 3, cy = (here.y[0] + here.y[1] + here.y[2]) / 3;
    const RefineHistory::Parent *q = h->parents.empty() ? nullptr : parent_of(*h, cx, cy);
    double splits = q && here.area > 0 ? std::log2(q->area / here.area) : 0;
    if (splits >= 0.8 && q->error > 0) {
      double fall = std::pow(e / q->error, 1 / splits);
      here.slow = fall > 0.5 && fall < 0.8 && at_joint(m, cell);
      if (here.slow && q->slow && e > 4 * errlim)
        cell.error =
            std::max(cell.error, std::min(limit * std::pow(e / limit, std::log(4.0) / std::log(1 / fall)), most));
    }
    if (e > far_above) next.push_back(here);
  }
  if (next.size() > kMostParents) {
    std::nth_element(next.begin(), next.begin() + kMostParents, next.end(),
                     [](const RefineHistory::Parent &a, const RefineHistory::Parent &b) { return a.error > b.error; });
    next.resize(kMostParents);
  }
  h->parents = std::move(next);
}

bool refiner_splits_unasked(const Mesh *m) { return m->curvegrid && (m->meshbasis == tet10 || m->meshbasis == tet20); }

int32_t refiner_refine(const RefinerUse &use, Mesh *m, double limit, double threshold, int32_t node_limit,
                       vectorvd *values, uint8_t merge_allowed, RefineHistory *history) {
  TRACE("refiner_refine");
  // 1. Status line, estimate factor, work vector.
  Hold hold(use.work, m);
  refine2_estimate_factor = 0.25;
  // 2. Cap the estimates and clear the marks.
  double cap = limit * 1.01 / (0.25 * 0.25);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    MeshCell &cell = cell_at(m, c);
    cell.split = cell.merge = 0;
    if (!history || use.dimension != 2) cell.error = std::min(cell.error, cap);
  }
  if (history && use.dimension == 2) cap_by_history(m, limit, cap, use.errlim, history);
  // A curved tetrahedron that folds, or whose domain face strays from its sheet by more
  // than kBend of the face's size, is split whatever its estimate (the straying falls as
  // the cube of the size), and one within eight times that is not merged back.
  if (refiner_splits_unasked(m)) {
    refine3_seat_nodes(m, cap, values);
    for (int32_t c = 1; c <= m->cells.count; c++) {
      const double kBend = 1e-3, bend = refine3_bend_error(m, c);
      MeshCell &cell = cell_at(m, c);
      if (refine3_folded(m, c)) cell.error = cap;
      else if (bend > kBend) cell.error = std::min(std::max(cell.error, limit * bend / kBend), cap);
      else if (bend > kBend / 8) cell.error = std::max(cell.error, threshold);
    }
  }
  // 3. Passes.
  int32_t merges = 0, splits = 0, pass = 0;
  vectorl *ix = use.sortindex;
  for (;;) {
    pass++;
    int32_t N0 = m->nodes.count, n = m->cells.count;
    int32_t cells0 = n, dead0 = m->delcells;
    vectord *w = hold.work;
    vectord_resize(w, std::max(n, 1), std::max({n, 1, w->capacity}));
    w->count = n;
    for (int32_t c = 1; c <= n; c++) w->data[c - 1] = cell_at(m, c).error;
    // Ascending estimates; equal ones by ascending cell number.
    vectorl_resize(ix, n, std::max(n, ix->capacity));
    for (int32_t i = 0; i < n; i++) ix->data[i] = i + 1;
    std::stable_sort(ix->data, ix->data + n,
                     [w](int32_t a, int32_t b) { return w->data[a - 1] < w->data[b - 1]; });
    // Merge phase, from the smallest estimate up.
    if (merge_allowed)
      for (int32_t i = 1; i <= n; i++) {
        int32_t c = ix->data[i - 1];
        if (w->data[c - 1] > threshold) break;
        MeshCell &cell = cell_at(m, c);
        if (cell.alive && !cell.split && !cell.merge && cell.error < threshold)
          merges += merge_one(use.dimension, m, c, threshold);
      }
    // Room for this pass's splits up front, so that the tables grow once rather than
    // by their step at every new cell.
    int32_t above = 0;
    for (int32_t c = 1; c <= n; c++) above += w->data[c - 1] > limit;
    if (above > 0) {
      int32_t per = std::max<int32_t>(1, elements_functions[m->meshbasis]);
      if (m->cells.capacity < n + 4 * above) cellnode_resize_0(&m->cells, n, n + 4 * above);
      if (m->nodes.capacity < N0 + 2 * per * above) cellnode_resize_1(&m->nodes, N0, N0 + 2 * per * above);
    }
    // Split phase, from the largest estimate down.
    int32_t passsplits = 0, live = m->nodes.count - m->delnodes;
    double v = 0;
    for (int32_t i = n; i >= 1; i--) {
      int32_t c = ix->data[i - 1];
      v = w->data[c - 1];
      if (v < limit || live > node_limit) break;
      MeshCell &cell = cell_at(m, c);
      if (cell.alive && !cell.merge && cell.error > limit) {
        passsplits++, splits++;
        split_one(use.dimension, m, c, values);
        live = m->nodes.count - m->delnodes;
      }
      if (i % 1000 == 0) gagscren_dispatch(0);
      rtlib_poll_interrupt();
    }
    // The merge threshold grows over the first four passes only: the passes past them (for
    // the cells whose estimates fall slowly) merge nothing the fourth would keep.
    if (pass < 4) threshold *= 1.5;
    if (m->domain && m->domain->periodics.count > 0)
      meshes_match_periodics(m, N0);
    // A pass that changed nothing (one-dimensional meshes) ends the passes too.
    bool changed = m->cells.count != cells0 || m->nodes.count != N0 || m->delcells != dead0;
    if (passsplits == 0 || 0.5 * v < threshold || !changed) break;
  }
  // 4. Log and compaction.
  debug_printf("SPLIT %d CELLS\n", splits);
  if (merges > 0) {
    debug_printf("MERGE %d CELLS\n", merges);
    if (m->delcells > m->cells.count * m->compaction || m->delnodes > m->nodes.count * m->compaction) {
      vectorvd none{};
      meshes_node_compress_1(m, values ? values : &none);
      meshes_cell_compress(m);
    }
  }
  return merges + splits;
}
