// rects: the axis-aligned rectangle of floats that the drawing layer clips to, its
// inclusive point tests and bounding-box growth.
#pragma once

struct String;
struct pointd;
struct points;

struct rects {
  float x1, y1, x2, y2;
};

int rects_init();
void rects_setrect_0(rects *r, float x1, float y1, float x2, float y2);
void rects_setrect_1(rects *r, const points *lo, const points *hi);
void rects_setrectd_0(rects *r, double x1, double y1, double x2, double y2);
void rects_copyto_0(rects *d, const rects *s);
bool rects_inrect_0(const rects *r, const pointd *p);
bool rects_inrect_1(const rects *r, const points *p);
bool rects_inrect_2(const rects *r, double x, double y);
void rects_bound_box_0(rects *r, const rects *o);
void rects_showdb_0(const rects *r, const String *name);
