// rect3s: the axis-aligned box of floats, its projections, inclusive point tests and
// bounding-box growth.
#pragma once

struct String;
struct point3s;
struct points;
struct rects;

struct rect3s {
  float x1, y1, z1, x2, y2, z2;
};

int rect3s_init();
void rect3s_setrect_0(rect3s *r, float x1, float y1, float z1, float x2, float y2, float z2);
void rect3s_setrect_1(rect3s *r, const point3s *lo, const point3s *hi);
void rect3s_xyrect_0(rects *d, const rect3s *b);
void rect3s_yzrect_0(rects *d, const rect3s *b);
void rect3s_zxrect_0(rects *d, const rect3s *b);
void rect3s_copyto_0(rect3s *d, const rect3s *s);
bool rect3s_inrect_0(const rect3s *r, const point3s *p);
bool rect3s_inrect_1(const rect3s *r, float x, float y, float z);
void rect3s_bound_box_0(rect3s *r, const point3s *p);
void rect3s_bound_box_1(rect3s *r, const points *p);
void rect3s_bound_box_2(rect3s *r, const rect3s *o);
void rect3s_showdb_0(const rect3s *r, const String *name);
