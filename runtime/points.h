// points: the plane point of floats (drawing coordinates), its arrays and lists.
#pragma once
#include <cstdint>
#include <cstdio>

struct String;

struct points {
  float x, y;
};

struct pointslist {
  int32_t count;     // points in use, numbered 1..count
  int32_t capacity;  // points allocated
  points *data;  // point i is data[i-1]
};

int points_init();
void points_new_0(points **a, int32_t n);
void points_resize_0(points **a, int32_t oldn, int32_t newn);
void points_free_0(points **a, int32_t n);
void points_new_1(pointslist *v, int32_t n);
void points_resize_1(pointslist *v, int32_t n, int32_t cap);
void points_free_1(pointslist *v);
void points_setpoint_0(points *p, float x, float y);
int32_t points_one_more_0(pointslist *v, const points *p);
int32_t points_one_more_1(pointslist *v, double x, double y);
void points_showdb_0(const points *p, const String *name);
void points_showdb_1(const points *p, const points *q, const String *name);
void points_print_0(FILE *f, const pointslist *v, const char *name);
void points_print_1(const pointslist *v, const char *name);
