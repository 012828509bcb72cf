// rectd: the axis-aligned rectangle of doubles (low corner, then high corner), its
// inclusive point tests, bounding-box growth and debug lines.
#pragma once
#include <cstdio>

struct String;
struct pointd;
struct points;
struct rects;

struct rectd {
  double x1, y1, x2, y2;
};

int rectd_init();
void rectd_setrect_0(rectd *r, double x1, double y1, double x2, double y2);
void rectd_setrect_1(rectd *r, const pointd *lo, const pointd *hi);
void rectd_copyto_0(rectd *d, const rectd *s);
void rectd_copyto_1(rects *d, const rectd *s);
void rectd_copyto_2(rectd *d, const rects *s);
bool rectd_inrect_0(const rectd *r, const pointd *p);
bool rectd_inrect_1(const rectd *r, const points *p);
bool rectd_inrect_2(const rectd *r, double x, double y);
void rectd_bound_box_0(rectd *r, const rectd *o);
void rectd_bound_box_1(rectd *r, const pointd *p);
void rectd_showdb_0(const rectd *r, const String *name);
void rectd_print_0(FILE *f, const rectd *r, const String *name);
