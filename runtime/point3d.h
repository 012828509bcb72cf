// point3d: the space point of doubles, its arrays and lists, distances; the 3D geometry
// of extruded domains and meshes.
#pragma once
#include <cstdint>
#include <cstdio>

struct String;
struct point3s;

struct point3d {
  double x, y, z;
};

struct point3dlist {
  int32_t count;     // points in use, numbered 1..count
  int32_t capacity;  // points allocated
  point3d *data;  // point i is data[i-1]
};

int point3d_init();
void point3d_new_0(point3d **a, int32_t n);
void point3d_resize_0(point3d **a, int32_t oldn, int32_t newn);
void point3d_free_0(point3d **a, int32_t n);
void point3d_new_1(point3dlist *v, int32_t n);
void point3d_resize_1(point3dlist *v, int32_t n, int32_t cap);
void point3d_free_1(point3dlist *v);
void point3d_setpoint_0(point3d *p, double x, double y, double z);
int32_t point3d_one_more_0(point3dlist *v, const point3d *p);
void point3d_copyto_0(point3d *d, const point3s *s);
void point3d_copyto_1(point3s *d, const point3d *s);
void point3d_copyto_2(point3dlist *d, const point3dlist *s);
void point3d_insert_0(point3dlist *v, int32_t i, const point3d *p);
void point3d_delete_0(point3dlist *v, int32_t i);
double point3d_distance_0(const point3d *p, const point3d *q);
double point3d_distance2_0(const point3d *p, const point3d *q);
double point3d_distance_1(double x1, double y1, double z1, double x2, double y2, double z2);
double point3d_distance2_1(double x1, double y1, double z1, double x2, double y2, double z2);
void point3d_showdb_0(const point3d *p, const String *name);
void point3d_showdb_1(const point3d *p, const point3d *q, const String *name);
void point3d_print_0(FILE *f, const point3dlist *v, const char *name);
void point3d_print_1(const point3dlist *v, const char *name);
