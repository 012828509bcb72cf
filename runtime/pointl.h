// pointl: the plane point of 32-bit integers (pixels), its arrays and lists.
#pragma once
#include <cstdint>
#include <cstdio>

struct String;

struct pointl {
  int32_t x, y;
};

struct pointllist {
  int32_t count;     // points in use, numbered 1..count
  int32_t capacity;  // points allocated
  pointl *data;  // point i is data[i-1]
};

int pointl_init();
void pointl_new_0(pointl **a, int32_t n);
void pointl_resize_0(pointl **a, int32_t oldn, int32_t newn);
void pointl_free_0(pointl **a, int32_t n);
void pointl_new_1(pointllist *v, int32_t n);
void pointl_resize_1(pointllist *v, int32_t n, int32_t cap);
void pointl_free_1(pointllist *v);
void pointl_setpoint_0(pointl *p, int32_t x, int32_t y);
int32_t pointl_one_more_0(pointllist *v, const pointl *p);
void pointl_showdb_0(const pointl *p, const String *name);
void pointl_showdb_1(const pointl *p, const pointl *q, const String *name);
