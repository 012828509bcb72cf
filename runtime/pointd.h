// pointd: the plane point of doubles, bare arrays and 1-based lists of them, distances
// and the debug lines; the geometry of domains and meshes is stored in these.
#pragma once
#include <cstdint>
#include <cstdio>

struct String;
struct points;
struct vectorl;

struct pointd {
  double x, y;
};

struct pointdlist {
  int32_t count;     // points in use, numbered 1..count
  int32_t capacity;  // points allocated
  pointd *data;  // point i is data[i-1]
};

int pointd_init();
void pointd_new_0(pointd **a, int32_t n);
void pointd_resize_0(pointd **a, int32_t oldn, int32_t newn);
void pointd_free_0(pointd **a, int32_t n);
void pointd_new_1(pointdlist *v, int32_t n);
void pointd_resize_1(pointdlist *v, int32_t n, int32_t cap);
void pointd_free_1(pointdlist *v);
void pointd_setpoint_0(pointd *p, double x, double y);
int32_t pointd_one_more_0(pointdlist *v, const pointd *p);
int32_t pointd_one_more_1(pointdlist *v, double x, double y);
void pointd_copyto_0(pointd *d, const points *s);
void pointd_copyto_1(pointd *d, const pointd *s);
void pointd_copyto_2(pointdlist *d, const pointdlist *s);
void pointd_insert_0(pointdlist *v, int32_t i, const pointd *p);
void pointd_insert_1(pointdlist *v, int32_t i, double x, double y);
void pointd_delete_0(pointdlist *v, int32_t i);
void pointd_delete_index_0(pointdlist *v, int32_t i);
double pointd_distance_0(const pointd *p, const pointd *q);
double pointd_distance2_0(const pointd *p, const pointd *q);
double pointd_distance_1(double x1, double y1, double x2, double y2);
double pointd_distance2_1(double x1, double y1, double x2, double y2);
void pointd_showdb_0(const pointd *p, const String *name);
void pointd_showdb_1(const pointd *p, const pointd *q, const String *name);
void pointd_print_0(FILE *f, const pointdlist *v, const char *name);
void pointd_print_1(const pointdlist *v, const char *name);
// Fills ix with the order of the points by x (axis 1) or by y (any other axis).
void pointd_sortix(vectorl *ix, const pointdlist *v, uint16_t axis);
