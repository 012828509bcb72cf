// dfeature: the spacing law h0 + g d and the queries and upkeep of the feature block.
// Item k of the block belongs to edge k; its samples run from the edge's first joint.
#include "domain/dfeature.h"

#include <algorithm>
#include <cmath>

#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/spatial.h"
#include "elements/cellnode.h"
#include "runtime/point3d.h"
#include "runtime/rtlib.h"

int dfeature_init() {
  TRACE("dfeature");
  return 0;
}

double dfeature_growfun(double h0, double g, double d) { return h0 + g * d; }

static bool curve_kind(const Edge &e) {
  return e.shape == SHAPE_LINE || e.shape == SHAPE_ARC || e.shape == SHAPE_ERC;
}

double dfeature_interp_feature(const Domain *d, uint16_t e, const double *point) {
  const featureitem &it = d->features.items[e - 1];
  int32_t m = it.samples.count;
  if (m == 0) return d->features.basespacing;
  const Edge &E = d->edges.data[e - 1];
  double dist = E.shape == SHAPE_LINE
                    ? std::hypot(point[0] - it.samples.data[0].x, point[1] - it.samples.data[0].y)
                    : std::fabs(edges_get_dist(&E, &d->joints, point));
  const double *s = it.distances.data, *h = it.spacings.data;
  // The first interval holding the distance, found by halving: the distances rise.
  if (!(s[0] <= dist) || !(dist <= s[m - 1])) return h[m - 1];
  int32_t k = int32_t(std::lower_bound(s, s + m, dist) - s);
  k = std::max(k - 1, 0);
  while (k > 0 && s[k - 1] <= dist && dist <= s[k]) k--;
  if (k + 1 >= m) return h[m - 1];
  double span = s[k + 1] - s[k];
  double phi = span > 0 ? (dist - s[k]) / span : 0;
  return phi * h[k + 1] + (1 - phi) * h[k];
}

// The edges' part of the last spacing found with the least spacings, and where: the
// edges' part is g-Lipschitz, so it bounds the reach of the next query near by. Cleared
// whenever the least spacings are taken again (the features may have changed).
static struct {
  const Domain *d = nullptr;
  double x = 0, y = 0, h = 0;
  double least = 0;  // the least spacing of all the samples
} last;

void dfeature_least_spacings(const Domain *d, std::vector<double> *out) {
  last.d = nullptr;
  const featureblock &b = d->features;
  out->assign(b.count, 0.0);
  for (uint16_t k = 0; k < b.count; k++) {
    const featureitem &it = b.items[k];
    if (it.spacings.count) (*out)[k] = *std::min_element(it.spacings.data, it.spacings.data + it.spacings.count);
    if (!it.samples.count) (*out)[k] = b.basespacing;
  }
  last.least = out->empty() ? 0 : std::max(0.0, *std::min_element(out->begin(), out->end()));
}

double dfeature_space_feature(const Domain *d, const double *point, const nodetable *nodes, const double *least) {
  const featureblock &b = d->features;
  const double g = d->grofac;
  double h = b.basespacing, foot[2];
  // Only an edge nearer than h / g can lower h. The search widens from close by (with
  // the domain's lookups) and stops once its reach holds h / g: no edge beyond can
  // lower h, and h is the least over the edges as a pass over all of them gives.
  // With the least spacings, an edge lowers h only within (h - the least of them) / g.
  const double floor = least ? last.least : 0;
  // No edge's samples below the base spacing: every edge's part is at least that (g d
  // is never negative), and h stays the base spacing without a search.
  const bool none_lower = least && g >= 0 && floor >= h;
  auto beyond = [&] { return g > 0 ? std::max(h - floor, 0.0) / g : HUGE_VAL; };
  // Near the last point the edges' part is at most its value there plus g times the
  // distance: one pass out to that bound finds every edge that can lower h.
  // A first reach that already holds h / g is not widened: the search starts at h / g.
  double first = none_lower ? 0 : spatial_reach(d);
  if (!none_lower && least && last.d == d && g > 0 && first < beyond())
    first = std::max(first, std::max(last.h - floor, 0.0) / g + std::hypot(point[0] - last.x, point[1] - last.y));
  for (double r = std::min(beyond(), first); !none_lower; r = std::min(2 * r, beyond())) {
    for (uint16_t k : spatial_edges_near(d, point, r)) {
      if (k > b.count) break;
      const Edge &e = d->edges.data[k - 1];
      if (!curve_kind(e) || e.source || e.external) continue;
      // The distance to the edge's box bounds the distance to the edge from below: an
      // edge whose box lies too far to lower h is passed over unmeasured.
      if (e.box.x1 <= e.box.x2 && e.box.y1 <= e.box.y2) {
        double bx = std::max({e.box.x1 - point[0], 0.0, point[0] - e.box.x2});
        double by = std::max({e.box.y1 - point[1], 0.0, point[1] - e.box.y2});
        // The root is at least the larger of the two (the rounded square of a number
        // above 1e-100 has that number as its root, and adding a square only raises it):
        // an edge already too far by the larger is passed over without the root.
        double far = std::max(bx, by), own = least ? least[k - 1] : 0;
        if (g >= 0 && far > 1e-100 && g * far + own >= h) continue;
        if (g * std::sqrt(bx * bx + by * by) + own >= h) continue;
      }
      double dist = edges_edge_distance(&e, &d->joints, point, foot, d->grid.tolerance);
      if (g * dist + (least ? least[k - 1] : 0) >= h) continue;  // the edge's own spacing only adds to g d
      double he = dfeature_growfun(dfeature_interp_feature(d, k, foot), g, dist);
      if (he <= h) h = he;
    }
    if (!(r < beyond())) break;
    if (!std::isfinite(beyond())) r = HUGE_VAL / 2;
  }
  if (least) last.d = d, last.x = point[0], last.y = point[1], last.h = h;
  if (nodes) {
    for (int32_t i = 0; i < d->unattached.count; i++) {
      int32_t n = d->unattached.data[i];
      if (n < 1 || n > nodes->count) continue;
      uint16_t j = nodes->data[n - 1].id;
      if (j < 1 || j > d->joints.count || j > b.jointspacing.count) continue;
      const Joint &J = d->joints.data[j - 1];
      double hj = dfeature_growfun(b.jointspacing.data[j - 1], g, std::hypot(point[0] - J.x, point[1] - J.y));
      if (hj <= h) h = hj;
    }
  }
  return h;
}

bool dfeature_faces(const Domain *d, const double *p, const double *q) {
  double dx = 0.01 * (q[0] - p[0]), dy = 0.01 * (q[1] - p[1]);
  double probe[2] = {p[0] + dx, p[1] + dy};
  if (domain_find_region(d, probe)) return true;
  for (int side : {1, -1}) {
    double beside[2] = {probe[0] - side * dy, probe[1] + side * dx};
    if (domain_find_region(d, beside)) return true;
  }
  return false;
}

double dfeature_bdry_feature(const Domain *d, const double *point, uint16_t e, double h) {
  const featureblock &b = d->features;
  const double g = d->grofac;
  uint16_t a = e ? d->edges.data[e - 1].joint1 : 0, z = e ? d->edges.data[e - 1].joint2 : 0;
  double foot[2];
  // Only edges whose box lies within h / g (less twice the tolerance) pass the box test
  // below while h can but fall.
  for (uint16_t k : spatial_edges_near(d, point, h / g)) {
    if (k > b.count) break;
    const Edge &K = d->edges.data[k - 1];
    if (k == e || K.external || !curve_kind(K)) continue;
    bool adjacent = e && (K.joint1 == a || K.joint2 == a || K.joint1 == z || K.joint2 == z);
    // The distance to the edge's box, less twice the tolerance (a line's foot may lie
    // that far past its ends), bounds the distance from below: an edge too far away to
    // lower h is passed over unmeasured.
    if (K.box.x1 <= K.box.x2 && K.box.y1 <= K.box.y2) {
      double bx = std::max({K.box.x1 - point[0], 0.0, point[0] - K.box.x2});
      double by = std::max({K.box.y1 - point[1], 0.0, point[1] - K.box.y2});
      if (g * (std::sqrt(bx * bx + by * by) - 2 * d->grid.tolerance) >= h) continue;
    }
    double dist = edges_edge_distance(&K, &d->joints, point, foot, d->grid.tolerance);
    if (!(g * dist < h)) continue;
    double hk = dfeature_interp_feature(d, k, foot) + g * dist;
    if (!adjacent) hk = std::min(hk, dist * b.aspect);
    if (!(hk <= h)) continue;
    // Only an edge that would lower h needs the region search (the costly test): the
    // edge counts when the point faces it across some region.
    if (!dfeature_faces(d, point, foot)) continue;
    h = hk;
  }
  return h;
}

void dfeature_shrink_features(Domain *d) {
  TRACE("dfeature_shrink_features");
  featureblock &b = d->features;
  for (uint16_t k = 0; k < b.count; k++) {
    featureitem &it = b.items[k];
    bool removed = true;
    while (removed && it.samples.count >= 3) {
      removed = false;
      for (int32_t j = 2; j < it.samples.count;) {
        const double *h = it.spacings.data, *s = it.distances.data;
        double lo = std::min(h[j - 2], h[j]), hi = std::max(h[j - 2], h[j]);
        if (lo <= h[j - 1] && h[j - 1] <= hi && s[j] - s[j - 2] < 0.5 * lo) {
          pointd_delete_index_0(&it.samples, j);
          vectord_delete_index(&it.spacings, j);
          vectord_delete_index(&it.distances, j);
          removed = true;
        } else {
          j++;
        }
      }
    }
  }
}

// Lowers every sample of item `to` to the spacing of edge `from` at its image under T.
static void mix_one(Domain *d, uint16_t to, uint16_t from, const transform3d *T) {
  featureitem &it = d->features.items[to - 1];
  for (int32_t i = 0; i < it.samples.count; i++) {
    point3d p{it.samples.data[i].x, it.samples.data[i].y, 0}, q{};
    geom3d_rotate_0(&q, T, &p);
    double at[2] = {q.x, q.y};
    it.spacings.data[i] = std::min(it.spacings.data[i], dfeature_interp_feature(d, from, at));
  }
}

void dfeature_mix_periodics(Domain *d) {
  TRACE("dfeature_mix_periodics");
  if (d->perextrude) return;
  for (uint16_t p = 0; p < d->periodics.count; p++) {
    const periodic &P = d->periodics.data[p];
    for (int32_t i = 0; i < P.sources.count && i < P.images.count; i++) {
      uint16_t S = P.sources.data[i], I = P.images.data[i];
      if (!S || !I || S > d->features.count || I > d->features.count) continue;
      mix_one(d, S, I, &P.forward);
      mix_one(d, I, S, &P.inverse);
    }
  }
}
