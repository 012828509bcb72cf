// clipping: cuts a line segment to an axis-aligned rectangle, in double, float and
// 32-bit integer coordinates, and tests whether any piece of a polyline is visible.
#pragma once
#include <cstdint>

struct pointd;
struct points;
struct pointl;
struct rectd;
struct rects;
struct rectl;
struct pointdlist;
struct pointslist;

// Result bits: the first point was moved, the second was moved; 4 alone means that no
// part of the segment is visible (the output points are then of no use).
enum { CLIP_MOVED_A = 1, CLIP_MOVED_B = 2, CLIP_OUTSIDE = 4 };

int clipping_init();
int32_t clipping_clipline_1(pointd *oa, pointd *ob, const rectd *r, const pointd *a, const pointd *b);
int32_t clipping_clipline_0(pointd *a, pointd *b, const rectd *r);
int32_t clipping_clipline_3(points *oa, points *ob, const rects *r, const points *a, const points *b);
int32_t clipping_clipline_2(points *a, points *b, const rects *r);
int32_t clipping_clipline_5(pointl *oa, pointl *ob, const rectl *r, const pointl *a, const pointl *b);
int32_t clipping_clipline_4(pointl *a, pointl *b, const rectl *r);
bool clipping_checkpolyline_0(const pointdlist *list, const rectd *r);
bool clipping_checkpolyline_1(const pointslist *list, const rects *r);
