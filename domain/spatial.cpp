// spatial: bucket grids of edges and joints, and the horizontal bands of regions.
#include "domain/spatial.h"

#include <algorithm>
#include <cmath>

#include "domain/edges.h"

namespace {

// A box that covers more cells than this goes to every answer instead: a few long
// edges across the domain must not fill every cell.
constexpr int64_t kWideCells = 64;

bool set(const BoxGrid::Box &b) { return b.x1 <= b.x2 && b.y1 <= b.y2; }

// The cell of a coordinate, clamped to 0..n-1. It never decreases as v grows, so a box
// and a query that overlap always share a cell.
// The quotient's floor is at least 0 (or n - 1) exactly when the quotient is, and below
// n - 1 it is the quotient's whole part.
int64_t cell_of(double v, double v0, double w, int64_t n) {
  double c = (v - v0) / w;
  if (!(c >= 0)) return 0;  // also a value that is not a number
  if (c >= double(n - 1)) return n - 1;
  return int64_t(c);
}

bool curve(const Edge &e) { return e.shape == SHAPE_ARC || e.shape == SHAPE_ERC; }

}  // namespace

void BoxGrid::range(double lo, double hi, bool along_x, int64_t *a, int64_t *b) const {
  double v0 = along_x ? x0_ : y0_;
  int64_t n = along_x ? nx_ : ny_;
  *a = cell_of(lo, v0, side_, n), *b = cell_of(hi, v0, side_, n);
}

void BoxGrid::build(const std::vector<Box> &boxes, double side) {
  keys_.clear(), start_.clear(), items_.clear(), always_.clear();
  last_[0] = 1, last_[1] = 0, last_out_.clear();
  seen_.assign(boxes.size() + 1, 0);
  stamp_ = 0;
  double x1 = HUGE_VAL, y1 = HUGE_VAL, x2 = -HUGE_VAL, y2 = -HUGE_VAL;
  for (const Box &b : boxes)
    if (set(b)) x1 = std::min(x1, b.x1), y1 = std::min(y1, b.y1), x2 = std::max(x2, b.x2), y2 = std::max(y2, b.y2);
  nx_ = ny_ = 1, x0_ = y0_ = 0, side_ = 1;
  if (x1 <= x2 && std::isfinite(x2 - x1) && std::isfinite(y2 - y1)) {
    double w = x2 - x1, h = y2 - y1, n = double(std::max<size_t>(boxes.size(), 1));
    if (!(side > 0)) {
      std::vector<double> sides;
      for (const Box &b : boxes)
        if (set(b)) sides.push_back(std::max(b.x2 - b.x1, b.y2 - b.y1));
      std::nth_element(sides.begin(), sides.begin() + sides.size() / 2, sides.end());
      side = sides.empty() ? 0 : sides[sides.size() / 2];
    }
    if (!(side > 0)) side = std::sqrt(w * h / n);
    if (!(side > 0)) side = std::max(w, h) / n;
    // At most about a million cells along an axis, so that the cell keys stay exact.
    side = std::max(side, std::max(w, h) * 1e-6);
    if (side > 0 && std::isfinite(side)) {
      side_ = side;
      nx_ = int64_t(std::floor(w / side)) + 1, ny_ = int64_t(std::floor(h / side)) + 1;
    }
    x0_ = x1, y0_ = y1;
  }
  // (cell, item) pairs sorted by cell, then item.
  std::vector<std::pair<int64_t, uint16_t>> entries;
  for (size_t k = 0; k < boxes.size(); k++) {
    const Box &b = boxes[k];
    int64_t ia = 0, ib = -1, ja = 0, jb = -1;
    if (set(b)) range(b.x1, b.x2, true, &ia, &ib), range(b.y1, b.y2, false, &ja, &jb);
    if (!set(b) || (ib - ia + 1) * (jb - ja + 1) > kWideCells) {
      always_.push_back(uint16_t(k + 1));
      continue;
    }
    for (int64_t i = ia; i <= ib; i++)
      for (int64_t j = ja; j <= jb; j++) entries.push_back({i * ny_ + j, uint16_t(k + 1)});
  }
  std::sort(entries.begin(), entries.end());
  for (size_t e = 0; e < entries.size(); e++) {
    if (e == 0 || entries[e].first != entries[e - 1].first) keys_.push_back(entries[e].first), start_.push_back(int32_t(e));
    items_.push_back(entries[e].second);
  }
  start_.push_back(int32_t(items_.size()));
}

void BoxGrid::query(double x1, double y1, double x2, double y2, std::vector<uint16_t> *out) const {
  int64_t ia = cell_of(x1, x0_, side_, nx_), ib = cell_of(x2, x0_, side_, nx_);
  int64_t ja = cell_of(y1, y0_, side_, ny_), jb = cell_of(y2, y0_, side_, ny_);
  // A query that is not a number meets every box.
  if (!(x1 <= x2 && y1 <= y2)) ia = ja = 0, ib = nx_ - 1, jb = ny_ - 1;
  if (ia == last_[0] && ib == last_[1] && ja == last_[2] && jb == last_[3]) {
    // The caller's list often holds that answer still.
    size_t n = last_out_.size();
    bool same = out->size() == n;
    for (size_t i = 0; same && i < n; i++) same = (*out)[i] == last_out_[i];
    if (!same) out->assign(last_out_.begin(), last_out_.end());
    return;
  }
  out->clear();
  if (++stamp_ == 0) std::fill(seen_.begin(), seen_.end(), 0), stamp_ = 1;
  auto take = [&](size_t c) {
    for (int32_t e = start_[c]; e < start_[c + 1]; e++) {
      uint16_t k = items_[e];
      if (seen_[k] != stamp_) seen_[k] = stamp_, out->push_back(k);
    }
  };
  if (ib - ia + 1 <= int64_t(keys_.size())) {
    // Column by column: the held cells of a column's rows ja..jb are one run of keys.
    for (int64_t i = ia; i <= ib; i++) {
      auto c = std::lower_bound(keys_.begin(), keys_.end(), i * ny_ + ja);
      for (; c != keys_.end() && *c <= i * ny_ + jb; ++c) take(size_t(c - keys_.begin()));
    }
  } else {
    // More columns than held cells: every held cell, those in range taken.
    for (size_t c = 0; c < keys_.size(); c++) {
      int64_t i = keys_[c] / ny_, j = keys_[c] % ny_;
      if (ia <= i && i <= ib && ja <= j && j <= jb) take(c);
    }
  }
  for (uint16_t k : always_)
    if (seen_[k] != stamp_) seen_[k] = stamp_, out->push_back(k);
  std::sort(out->begin(), out->end());
  last_[0] = ia, last_[1] = ib, last_[2] = ja, last_[3] = jb;
  last_out_.assign(out->begin(), out->end());
}

void RegionBands::build(const Domain *d) {
  regions_.assign(d->regions.count, Bands{});
  std::vector<uint16_t> list;
  std::vector<std::pair<double, double>> span;
  for (uint16_t r = 0; r < d->regions.count; r++) {
    const region &R = d->regions.data[r];
    Bands &B = regions_[r];
    list.clear(), span.clear();
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int32_t k = 0; k < R.loops.count; k++) {
      const Loop &l = d->loops.data[R.loops.data[k] - 1];
      for (int32_t i = 0; i < l.edges.count; i++) {
        int32_t n = l.edges.data[i];
        if (n == 0) continue;
        const Edge &e = d->edges.data[(n < 0 ? -n : n) - 1];
        double a, b;
        if (e.shape == SHAPE_LINE) {
          a = std::min(d->joints.data[e.joint1 - 1].y, d->joints.data[e.joint2 - 1].y);
          b = std::max(d->joints.data[e.joint1 - 1].y, d->joints.data[e.joint2 - 1].y);
        } else if (curve(e)) {
          // A crossing needs the height within the semi-axis of the centre; the margin
          // covers the rounding of that test.
          const arcrec &c = e.shapedata.arc;
          double s = std::fabs(e.shape == SHAPE_ARC ? c.rx : c.ry);
          double m = 1e-9 * (s + std::fabs(c.cy)) + 1e-300;
          a = c.cy - s - m, b = c.cy + s + m;
        } else {
          continue;  // other shapes never cross
        }
        if (!(a <= b)) a = -HUGE_VAL, b = HUGE_VAL;  // not a number: every band
        list.push_back(uint16_t(n < 0 ? -n : n));
        span.push_back({a, b});
        if (std::isfinite(a)) lo = std::min(lo, a);
        if (std::isfinite(b)) hi = std::max(hi, b);
      }
    }
    if (list.empty()) continue;
    if (!(lo <= hi)) lo = hi = 0;
    // About one band per edge, fewer while the edges would be listed over and over.
    int32_t n = int32_t(list.size());
    B.y0 = lo;
    for (int32_t bands = std::max(n, 1);; bands = std::max(bands / 2, 1)) {
      B.count = hi > lo ? bands : 1;
      B.dy = hi > lo ? (hi - lo) / B.count : 1;
      int64_t entries = 0;
      for (auto [a, b] : span) entries += cell_of(b, B.y0, B.dy, B.count) - cell_of(a, B.y0, B.dy, B.count) + 1;
      if (B.count == 1 || entries <= 8 * int64_t(n) + 64) break;
    }
    B.start.assign(B.count + 1, 0);
    for (auto [a, b] : span)
      for (int64_t s = cell_of(a, B.y0, B.dy, B.count), z = cell_of(b, B.y0, B.dy, B.count); s <= z; s++)
        B.start[s + 1]++;
    for (int32_t s = 1; s <= B.count; s++) B.start[s] += B.start[s - 1];
    B.edges.resize(B.start[B.count]);
    std::vector<int32_t> fill(B.start.begin(), B.start.end() - 1);
    for (size_t k = 0; k < list.size(); k++)
      for (int64_t s = cell_of(span[k].first, B.y0, B.dy, B.count), z = cell_of(span[k].second, B.y0, B.dy, B.count);
           s <= z; s++)
        B.edges[fill[s]++] = list[k];
  }
}

int32_t RegionBands::crossings(const Domain *d, uint16_t region, const double *p) const {
  const Bands &B = regions_[region - 1];
  if (!B.count) return 0;
  int64_t s = cell_of(p[1], B.y0, B.dy, B.count);
  int32_t n = 0;
  for (int32_t k = B.start[s]; k < B.start[s + 1]; k++)
    n += edges_cross_yline(&d->edges.data[B.edges[k] - 1], &d->joints, p);
  return n;
}

// The lookups lent, latest last: one domain at a time as a rule.
static std::vector<std::pair<const Domain *, const DomainIndex *>> lent;

const DomainIndex *spatial_index(const Domain *d) {
  for (auto k = lent.rbegin(); k != lent.rend(); ++k)
    if (k->first == d) return k->second;
  return nullptr;
}

DomainIndexScope::DomainIndexScope(Domain *d) : d_(d) {
  if (spatial_index(d)) return;
  own_ = new DomainIndex;
  const double tol = d->grid.tolerance;
  std::vector<BoxGrid::Box> boxes(d->edges.count);
  for (uint16_t k = 0; k < d->edges.count; k++) {
    const Edge &e = d->edges.data[k];
    BoxGrid::Box &b = boxes[k];
    b = {1, 1, 0, 0};  // shapes without a plane curve: every answer
    if (e.shape != SHAPE_LINE && !curve(e)) continue;
    const Joint &A = d->joints.data[e.joint1 - 1], &Z = d->joints.data[e.joint2 - 1];
    b = {std::min(A.x, Z.x), std::min(A.y, Z.y), std::max(A.x, Z.x), std::max(A.y, Z.y)};
    if (curve(e)) {
      // The whole circle or ellipse: the foot on the curve lies in it.
      const arcrec &c = e.shapedata.arc;
      double sx = std::fabs(c.rx), sy = std::fabs(e.shape == SHAPE_ARC ? c.rx : c.ry);
      b = {std::min(b.x1, c.cx - sx), std::min(b.y1, c.cy - sy), std::max(b.x2, c.cx + sx), std::max(b.y2, c.cy + sy)};
    }
    // With the box the edge keeps, which the spacing passes test themselves.
    if (e.box.x1 <= e.box.x2 && e.box.y1 <= e.box.y2)
      b = {std::min(b.x1, e.box.x1), std::min(b.y1, e.box.y1), std::max(b.x2, e.box.x2), std::max(b.y2, e.box.y2)};
    // Rounding of the distances, and joints snapped after the line was set.
    double m = 1e-9 * (std::fabs(b.x1) + std::fabs(b.x2) + std::fabs(b.y1) + std::fabs(b.y2)) + tol + d->grid.quantum;
    b = {b.x1 - m, b.y1 - m, b.x2 + m, b.y2 + m};
  }
  own_->edges.build(boxes);
  own_->edgeboxes = boxes;
  // Joints are bucketed as finely as the edges that join them.
  double side = own_->edges.side();
  boxes.resize(d->joints.count);
  for (uint16_t k = 0; k < d->joints.count; k++) {
    const Joint &J = d->joints.data[k];
    boxes[k] = {J.x, J.y, J.x, J.y};
  }
  own_->joints.build(boxes, side);
  boxes.resize(d->regions.count);
  for (uint16_t k = 0; k < d->regions.count; k++) {
    const rect3d &r = d->regions.data[k].box;
    boxes[k] = {r.x1, r.y1, r.x2, r.y2};
  }
  own_->regionboxes.build(boxes);
  own_->regions.build(d);
  lent.push_back({d, own_});
}

DomainIndexScope::~DomainIndexScope() {
  if (!own_) return;
  std::erase(lent, std::pair<const Domain *, const DomainIndex *>{d_, own_});
  delete own_;
}

// Every number 1..n, for the passes without an index.
static const std::vector<uint16_t> &all(uint16_t n, std::vector<uint16_t> *space) {
  space->resize(n);
  for (uint16_t k = 0; k < n; k++) (*space)[k] = uint16_t(k + 1);
  return *space;
}

// The reach r about a box, widened by twice the tolerance (the reach of a line's foot
// past its ends) and for rounding.
static double reach(const Domain *d, double r, double x, double y) {
  double R = r + 2 * d->grid.tolerance;
  return R + 1e-9 * (R + std::fabs(x) + std::fabs(y));
}

// The records of one of the index's grids whose box may come within r of box b; all n
// of them without an index or when b is not set.
static const std::vector<uint16_t> &near(const Domain *d, BoxGrid DomainIndex::*grid, uint16_t n,
                                         const BoxGrid::Box &b, double r) {
  static std::vector<uint16_t> space;
  const DomainIndex *x = spatial_index(d);
  if (!x || !(b.x1 <= b.x2 && b.y1 <= b.y2)) return all(n, &space);
  double R = reach(d, r, std::fabs(b.x1) + std::fabs(b.x2), std::fabs(b.y1) + std::fabs(b.y2));
  (x->*grid).query(b.x1 - R, b.y1 - R, b.x2 + R, b.y2 + R, &x->near);
  return x->near;
}

static BoxGrid::Box point_box(const double *p) { return {p[0], p[1], p[0], p[1]}; }

static BoxGrid::Box edge_box(const Domain *d, uint16_t e) {
  const DomainIndex *x = spatial_index(d);
  return x ? x->edgeboxes[e - 1] : BoxGrid::Box{1, 1, 0, 0};
}

const std::vector<uint16_t> &spatial_edges_near(const Domain *d, const double *p, double r) {
  return near(d, &DomainIndex::edges, d->edges.count, point_box(p), r);
}

const std::vector<uint16_t> &spatial_joints_near(const Domain *d, const double *p, double r) {
  return near(d, &DomainIndex::joints, d->joints.count, point_box(p), r);
}

const std::vector<uint16_t> &spatial_joints_near_edge(const Domain *d, uint16_t e, double r) {
  return near(d, &DomainIndex::joints, d->joints.count, edge_box(d, e), r);
}

const std::vector<uint16_t> &spatial_edges_near_edge(const Domain *d, uint16_t e, double r) {
  return near(d, &DomainIndex::edges, d->edges.count, edge_box(d, e), r);
}

const std::vector<uint16_t> &spatial_regions_at(const Domain *d, const double *p) {
  static std::vector<uint16_t> space;
  const DomainIndex *x = spatial_index(d);
  // A few regions are answered whole: the region test starts with the same box test.
  if (!x || d->regions.count <= 4) return all(d->regions.count, &space);
  x->regionboxes.query(p[0], p[1], p[0], p[1], &x->holds);
  return x->holds;
}

double spatial_reach(const Domain *d) {
  const DomainIndex *x = spatial_index(d);
  return x ? 2 * x->edges.side() : HUGE_VAL;
}
