// rectl: the axis-aligned rectangle of 32-bit integers (pixels), in corner form or in
// origin-and-size form, with inclusive point tests and bounding-box growth.
#pragma once
#include <cstdint>

struct String;
struct pointl;

struct rectl {
  int32_t x1, y1, x2, y2;  // corners; in origin-and-size form x, y, width, height
};

int rectl_init();
void rectl_setrect_0(rectl *r, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void rectl_setrect_1(rectl *r, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void rectl_setrect_2(rectl *r, const pointl *lo, const pointl *hi);
void rectl_setrect_3(rectl *r, const pointl *lo, const pointl *hi);
void rectl_copyto_0(rectl *d, const rectl *s);
void rectl_copyto_1(rectl *d, const rectl *s);
void rectl_copyto_2(rectl *d, const rectl *s);
bool rectl_inrect_0(const rectl *r, const pointl *p);
bool rectl_inrect_1(const rectl *r, int32_t x, int32_t y);
void rectl_bound_box_0(rectl *r, const rectl *o);
void rectl_showdb_0(const rectl *r, const String *name);
