// plot: creation, growth, sharing and release of the plot, plot-data and time records.
#include "plot/plot.h"

#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

namespace {

// Moves a record vector into new storage of the capacity (records past count zero).
template <class V>
void resize(V *v, int32_t count, int32_t capacity, const char *where) {
  using R = std::remove_pointer_t<decltype(v->data)>;
  if (count < 0 || capacity < count) rtlib_fatal_in(where, "VECTOR LENGTH ERROR");
  if (capacity != v->capacity) {
    R *grown = nullptr;
    if (capacity > 0) {
      bopmemalloc(&grown, capacity, sizeof(R));
      XMEM += int64_t(capacity) * sizeof(R);
    }
    int32_t keep = v->count < capacity ? v->count : capacity;
    if (keep > 0) memcpy(static_cast<void *>(grown), v->data, size_t(keep) * sizeof(R));
    if (v->data) {
      XMEM -= int64_t(v->capacity) * sizeof(R);
      bopmemfree(&v->data);
    }
    v->data = grown;
    v->capacity = capacity;
  }
  if (count > v->count) memset(static_cast<void *>(v->data + v->count), 0, size_t(count - v->count) * sizeof(R));
  v->count = count;
}

template <class V>
uint16_t one_more(V *v, int32_t capacity, void (*grow)(V *, int32_t, int32_t), const char *where) {
  if (v->count >= 65535) rtlib_fatal_in(where, "TOO MANY PLOTS");
  if (v->count >= v->capacity) grow(v, v->count, capacity);
  grow(v, v->count + 1, v->capacity);
  return uint16_t(v->count);
}

void free_record(plotrec *r) {
  matrixn_free(&r->modeviews);
  for (TreeNode *&t : r->range) t = trees_free_0(t);
  trees_free_1(&r->exprs, 1);
  trees_free_2(&r->compiled, 1);
  for (String *s : {&r->name, &r->file, &r->format}) strings_free_0(s);
  for (StringList *l : {&r->titles, &r->labels, &r->reportnames}) strings_free_1(l, 1);
  vectorn_free(&r->fits);
  trees_free_1(&r->reports, 1);
  trees_free_1(&r->reportcompiled, 1);
  vector2d_free(&r->integrals, 1);
  if (r->stream) fclose(r->stream);
  vector4d_free(&r->lines, 1);
  vector3d_free(&r->values, 1);
  point3d_free_1(&r->at);
  for (vectord &c : r->cdf) vectord_free(&c);
}

void free_data(plotdata *d) {
  for (String &s : d->axislabels) strings_free_0(&s);
  for (vector2t &s : d->strips) vector2t_free(&s, 1);
  trimesh_free_1(&d->meshes, 1);
  vector2d_free(&d->nodevalues, 1);
  vectorb_free(&d->nodeflags);
}

// Whether two plot-data records would build the same plot mesh.
bool same_mesh(const plotdata &a, const plotdata &b) {
  auto same = [](const auto &x, const auto &y) { return memcmp(&x, &y, sizeof x) == 0; };
  // Doubles compare exactly, as numbers (so 0 and -0 agree).
  auto equal = [](const double *x, const double *y, int n) {
    for (int k = 0; k < n; k++)
      if (!(x[k] == y[k])) return false;
    return true;
  };
  if (a.cut != b.cut || a.zoomed != b.zoomed || a.line != b.line || a.vector != b.vector || a.fill != b.fill ||
      a.created != b.created || a.paintregions != b.paintregions || a.grid != b.grid)
    return false;
  if (!same(a.points, b.points) || a.boundary != b.boundary || a.region != b.region || a.surface != b.surface ||
      a.layer != b.layer)
    return false;
  if (a.zoomed && !equal(a.box, b.box, 6)) return false;
  if (a.line && !equal(a.lineends, b.lineends, 6)) return false;
  if (a.cut && !equal(a.plane, b.plane, 4)) return false;
  return true;
}

}  // namespace

uint16_t plot_one_more_1(plotvector *v) {
  TRACE("plot_one_more_1");
  return one_more(v, v->capacity + 16, plot_resize_0, "plot_one_more_1");
}

uint16_t plot_one_more_0(plotdatavector *v) {
  TRACE("plot_one_more_0");
  return one_more(v, v->capacity + 16, plot_resize_2, "plot_one_more_0");
}

uint16_t plot_one_more_2(timevector *v) {
  TRACE("plot_one_more_2");
  return one_more(v, v->capacity * 6 / 5 + 10, plot_resize_1, "plot_one_more_2");
}

void plot_resize_0(plotvector *v, int32_t count, int32_t capacity) {
  TRACE("plot_resize_0");
  resize(v, count, capacity, "plot_resize_0");
}

void plot_resize_1(timevector *v, int32_t count, int32_t capacity) {
  TRACE("plot_resize_1");
  resize(v, count, capacity, "plot_resize_1");
}

void plot_resize_2(plotdatavector *v, int32_t count, int32_t capacity) {
  TRACE("plot_resize_2");
  resize(v, count, capacity, "plot_resize_2");
}

void plot_free_0(plotvector *v) {
  TRACE("plot_free_0");
  for (int32_t k = 0; k < v->count; k++) free_record(&v->data[k]);
  resize(v, 0, 0, "plot_free_0");
}

void plot_free_1(timevector *v) {
  TRACE("plot_free_1");
  for (int32_t k = 0; k < v->count; k++) {
    vectord_free(&v->data[k].times);
    vectorn_free(&v->data[k].plots);
  }
  resize(v, 0, 0, "plot_free_1");
}

void plot_free_2(plotdatavector *v) {
  TRACE("plot_free_2");
  for (int32_t k = 0; k < v->count; k++) free_data(&v->data[k]);
  resize(v, 0, 0, "plot_free_2");
}

uint16_t plot_assign_plot_mesh(plotdatavector *v) {
  TRACE("plot_assign_plot_mesh");
  int32_t n = v->count;
  if (n < 1) rtlib_fatal_in("plot_assign_plot_mesh", "NO PLOT DATA");
  for (int32_t k = 1; k < n; k++)
    if (same_mesh(v->data[k - 1], v->data[n - 1])) {
      free_data(&v->data[n - 1]);
      memset(static_cast<void *>(&v->data[n - 1]), 0, sizeof(plotdata));
      v->count--;
      return uint16_t(k);
    }
  return uint16_t(n);
}

// The history samples are kept by the plot driver, which does not keep any yet.
void plot_save_histories(plotvector *, vectord *) {}
void plot_restore_histories(plotvector *, vectord *) {}

int plot_init() {
  TRACE("plot");
  return 0;
}

// ---- Mesh and domain drawing used by the mesher: headless, nothing is drawn ----------
void plot_fixcolors(plotrec *) {}
void plot_show_frame(uint16_t, plotframe *, const rect3d *, int32_t, int32_t, const String *, const String *) {}
void plot_show_domain_0(uint16_t, Domain *, const rect3d *) {}
void plot_show_segment_0(uint16_t, Domain *, uint16_t, uint8_t) {}
void plot_show_region_0(uint16_t, plotframe *, Domain *, uint16_t) {}
void plot_show_mesh(uint16_t, plotframe *, const rect3d *, Mesh *, int32_t, uint8_t, uint8_t, uint16_t) {}
void plot_show_mesh_leg_0(uint16_t, plotframe *, Mesh *, int32_t, int32_t, int32_t) {}
