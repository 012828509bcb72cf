// joints: the joint table and the snapping of joints onto the grid.
#include "domain/joints.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "runtime/bounding.h"
#include "runtime/rtlib.h"

int joints_init() {
  TRACE("joints");
  return 0;
}

uint16_t joints_new_joint_1(jointtable *t, double x, double y, double z) {
  TRACE("joints_new_joint_1");
  uint16_t n = domain_table_append(t, "NEW_JOINT");
  Joint &j = t->data[n - 1];
  j.number = n;
  j.x = x, j.y = y, j.z = z;
  j.made = 1;
  j.kind = 0;
  return n;
}

uint16_t joints_new_joint_0(jointtable *t, double x, double y) { return joints_new_joint_1(t, x, y, 0); }

// Whether joint j stands at (x, y, 0) within the tolerance on every axis; a tolerance of
// 0 (a box without extent) still makes an equal point that joint.
static bool same_place(const Joint &j, double x, double y, double tol) {
  double dx = std::fabs(j.x - x), dy = std::fabs(j.y - y), dz = std::fabs(j.z);
  return (dx < tol && dy < tol && dz < tol) || (dx == 0 && dy == 0 && dz == 0);
}

uint16_t joints_make_joint_1(jointtable *t, double x, double y, BoundingGrid *g) {
  TRACE("joints_make_joint_1");
  double tol = g->tolerance;
  for (uint16_t k = 0; k < t->count; k++)
    if (same_place(t->data[k], x, y, tol)) return t->data[k].number;
  bounding_check_bounds_0(g, x, y);
  return joints_new_joint_1(t, x, y, 0);
}

// The bucket of a place, or false when the place is too far out to bucket.
static bool bucket_of(double x, double y, double cell, uint64_t *key, int64_t *i, int64_t *k) {
  double u = std::floor(x / cell), v = std::floor(y / cell);
  if (!(std::fabs(u) < 1e15 && std::fabs(v) < 1e15)) return false;
  *i = int64_t(u), *k = int64_t(v);
  *key = uint64_t(*i) * 0x9E3779B97F4A7C15ull ^ uint64_t(*k);
  return true;
}

uint16_t joints_make_joint_2(jointtable *t, double x, double y, BoundingGrid *g, JointIndex *index) {
  TRACE("joints_make_joint_2");
  double tol = g->tolerance;
  JointIndex &ix = *index;
  uint64_t key;
  int64_t i, k;
  if (!(tol > 0) || !bucket_of(x, y, tol, &key, &i, &k)) return joints_make_joint_1(t, x, y, g);
  if (ix.table != t || t->count < ix.indexed || tol > ix.cell) {
    ix.table = t, ix.indexed = 0, ix.cell = tol, ix.far = false;
    ix.buckets.clear();
  }
  // Every joint within the tolerance lies in the 3 x 3 buckets about the place.
  for (; ix.indexed < t->count; ix.indexed++) {
    const Joint &j = t->data[ix.indexed];
    if (bucket_of(j.x, j.y, ix.cell, &key, &i, &k)) ix.buckets[key].push_back(uint16_t(ix.indexed + 1));
    else ix.far = true;
  }
  if (ix.far || !bucket_of(x, y, ix.cell, &key, &i, &k)) return joints_make_joint_1(t, x, y, g);
  uint16_t first = 0;
  for (int64_t a = i - 1; a <= i + 1; a++)
    for (int64_t b = k - 1; b <= k + 1; b++) {
      auto at = ix.buckets.find(uint64_t(a) * 0x9E3779B97F4A7C15ull ^ uint64_t(b));
      if (at == ix.buckets.end()) continue;
      for (uint16_t n : at->second)
        if (same_place(t->data[n - 1], x, y, tol) && (!first || n < first)) first = n;
    }
  if (first) return t->data[first - 1].number;
  bounding_check_bounds_0(g, x, y);
  return joints_new_joint_1(t, x, y, 0);
}

uint16_t joints_copy_joint(jointtable *t, const Joint *src) {
  TRACE("joints_copy_joint");
  Joint s = *src;  // the source may lie in the table that grows
  uint16_t n = joints_new_joint_1(t, s.x, s.y, s.z);
  Joint &j = t->data[n - 1];
  vectorn_copyto_0(&j.edges, &s.edges);
  j.bctag = s.bctag;
  j.word = s.word;
  j.periodic = s.periodic;
  j.image = s.image;
  return n;
}

void joints_free(jointtable *t) {
  TRACE("joints_free");
  for (int32_t k = 0; k < t->capacity; k++) {
    vectorn_free(&t->data[k].edges);
    vectorn_free(&t->data[k].faces);
    vectorn_free(&t->data[k].regions);
  }
  domain_table_drop(t);
}

// "%5d Title: " and every number of a list as "%5d", then a line end; nothing when empty.
static void print_list(FILE *f, const vectorn *v, const char *title) {
  if (!v->count) return;
  fprintf(f, "%5d %s: ", v->count, title);
  for (int32_t k = 0; k < v->count; k++) fprintf(f, "%5d", v->data[k]);
  fputs("\n", f);
}

void joints_print(FILE *f, const jointtable *t, uint16_t n) {
  TRACE("joints_print");
  const Joint &j = t->data[n - 1];
  String s{};
  strings_fmt(&s, j.x);
  fprintf(f, "Joint%5d x=%s", j.number, s.text);
  strings_fmt(&s, j.y);
  fprintf(f, " y=%s", s.text);
  strings_fmt(&s, j.z);
  fprintf(f, " z=%s  BCTAG=%d", s.text, j.bctag);
  strings_free_0(&s);
  if (j.periodic) fprintf(f, " periodic=%d", j.periodic);
  if (j.image) fprintf(f, " image=%d", j.image);
  fputs("\n", f);
  print_list(f, &j.edges, "Edges");
  print_list(f, &j.faces, "Faces");
}

double joints_closest_pair2(const jointtable *t) {
  TRACE("joints_closest_pair2");
  // A sweep in x holding the joints within the best distance so far, ordered by y: a
  // pair farther apart on one axis than that distance cannot replace it. A joint with a
  // coordinate that is not finite gives no finite distance and takes no part.
  std::vector<int32_t> order;
  for (int32_t i = 0; i < t->count; i++) {
    const Joint &a = t->data[i];
    if (a.kind != 4 && std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z)) order.push_back(i);
  }
  const Joint *J = t->data;
  std::sort(order.begin(), order.end(), [J](int32_t a, int32_t b) { return J[a].x < J[b].x; });
  std::set<std::pair<double, int32_t>> active;
  double dmin2 = DOMAIN_HUGE;
  size_t left = 0;
  for (size_t n = 0; n < order.size(); n++) {
    const Joint &a = J[order[n]];
    for (; left < n; left++) {
      double dx = a.x - J[order[left]].x;
      if (!(dx * dx > dmin2)) break;
      active.erase({J[order[left]].y, order[left]});
    }
    double r = std::sqrt(dmin2);
    r += 1e-9 * r + 1e-15 * std::fabs(a.y);
    for (auto it = active.lower_bound({a.y - r, INT32_MIN}); it != active.end() && it->first <= a.y + r; ++it) {
      const Joint &b = J[it->second];
      double d2 = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z);
      if (d2 > 0 && d2 <= dmin2) dmin2 = d2;
    }
    active.insert({a.y, order[n]});
  }
  return dmin2;
}

void joints_quantize(jointtable *t, BoundingGrid *g) {
  TRACE("joints_quantize");
  // 1. The closest pair of distinct joints; equal joints would give log10(0).
  double dmin2 = joints_closest_pair2(t);
  // 2.-4. Scale, quantum and origin.
  // The power of ten at or below a thousandth of it (truncation toward zero would round a
  // negative logarithm up, to as much as a hundredth of the distance).
  g->scale = std::pow(10.0, std::floor(std::log10(0.001 * std::sqrt(dmin2))));
  bounding_get_quantum(g);
  g->ox = bounding_qround((g->box.x1 + g->box.x2) / 2, g->quantum);
  g->oy = bounding_qround((g->box.y1 + g->box.y2) / 2, g->quantum);
  g->oz = bounding_qround((g->box.z1 + g->box.z2) / 2, g->quantum);
  // 5. Every joint onto the grid lines.
  for (int32_t k = 0; k < t->count; k++) bounding_on_grid_0(g, &t->data[k].x);
}
