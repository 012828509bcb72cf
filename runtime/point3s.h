// point3s: the space point of floats, its arrays and lists.
#pragma once
#include <cstdint>
#include <cstdio>

struct String;

struct point3s {
  float x, y, z;
};

struct point3slist {
  int32_t count;     // points in use, numbered 1..count
  int32_t capacity;  // points allocated
  point3s *data;  // point i is data[i-1]
};

int point3s_init();
void point3s_new_0(point3s **a, int32_t n);
void point3s_resize_0(point3s **a, int32_t oldn, int32_t newn);
void point3s_free_0(point3s **a, int32_t n);
void point3s_new_1(point3slist *v, int32_t n);
void point3s_resize_1(point3slist *v, int32_t n, int32_t cap);
void point3s_free_1(point3slist *v);
void point3s_setpoint_0(point3s *p, float x, float y, float z);
int32_t point3s_one_more_0(point3slist *v, const point3s *p);
double point3s_distance_0(const point3s *p, const point3s *q);
double point3s_distance2_0(const point3s *p, const point3s *q);
void point3s_showdb_0(const point3s *p, const String *name);
void point3s_showdb_1(const point3s *p, const point3s *q, const String *name);
