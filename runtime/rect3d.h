// rect3d: the axis-aligned box of doubles, its projections, inclusive point tests and
// bounding-box growth.
#pragma once

struct String;
struct point3d;
struct pointd;
struct rectd;
struct rect3s;
struct point3s;

struct rect3d {
  double x1, y1, z1, x2, y2, z2;
};

int rect3d_init();
void rect3d_setrect_0(rect3d *r, double x1, double y1, double z1, double x2, double y2, double z2);
void rect3d_setrect_1(rect3d *r, const point3d *lo, const point3d *hi);
void rect3d_xyrect_0(rectd *d, const rect3d *b);
void rect3d_yzrect_0(rectd *d, const rect3d *b);
void rect3d_zxrect_0(rectd *d, const rect3d *b);
void rect3d_copyto_0(rect3d *d, const rect3d *s);
bool rect3d_inrect_0(const rect3d *r, const point3d *p);
bool rect3d_inrect_1(const rect3d *r, const point3s *p);
bool rect3d_inrect_2(const rect3d *r, double x, double y, double z);
void rect3d_copyto_1(rect3d *d, const rectd *s);
void rect3d_copyto_2(rect3s *d, const rect3d *s);
void rect3d_copyto_3(rect3d *d, const rect3s *s);
void rect3d_bound_box_0(rect3d *r, const point3d *p);
void rect3d_bound_box_1(rect3d *r, const pointd *p);
void rect3d_bound_box_2(rect3d *r, const rect3d *o);
void rect3d_showdb_0(const rect3d *r, const String *name);
