// geom3d: the 3D view transform (an affine map with a perspective rule) that turns
// problem coordinates into view coordinates, builds frames on planes and cells and
// maps periodic images; every operation edits a transform in place or fills another.
#pragma once
#include <cstdio>

struct point3d;
struct pointd;
struct point3dlist;
struct pointdlist;

// Rows x, y, z of the map (coefficients of x, y, z, then the offset): entries 0-3,
// 4-7, 8-11. y is the view's depth axis, z its vertical. Entry 12 is the viewing
// distance d, 13 the horizontal perspective centre c; 14 and 15 stay 0.
struct transform3d {
  double t[16];
};

int geom3d_init();
void geom3d_identity(transform3d *T);
void geom3d_translate(transform3d *T, double dx, double dy, double dz);
void geom3d_scale(transform3d *T, double sx, double sy, double sz);
void geom3d_xrotate_0(transform3d *T, double angle);
void geom3d_xrotate_1(transform3d *T, double a, double b);
void xrotate1(transform3d *T, double s, double c);
void geom3d_yrotate_0(transform3d *T, double angle);
void geom3d_yrotate_1(transform3d *T, double a, double b);
void yrotate1(transform3d *T, double s, double c);
void geom3d_zrotate_0(transform3d *T, double angle);
void geom3d_zrotate_1(transform3d *T, double a, double b);
void zrotate1(transform3d *T, double s, double c);
void geom3d_xshear(transform3d *T, double angle);
void geom3d_yshear(transform3d *T, double angle);
void geom3d_mul(transform3d *C, const transform3d *A, const transform3d *B);
bool geom3d_inverse_rotation(transform3d *D, const transform3d *S);
void geom3d_rotate_plane_to(transform3d *D, const point3d *p1, const point3d *p2, const point3d *p3, double s1,
                            double s2);
void geom3d_rotate_to(transform3d *D, const point3d *p0, const point3d *p1, const point3d *p2, const point3d *p3,
                      double s1, double s2, double s3);
bool geom3d_rotate_from(transform3d *D, const point3d *p0, const point3d *p1, const point3d *p2,
                        const point3d *p3, double s1, double s2, double s3);
void geom3d_rotate_0(point3d *out, const transform3d *T, const point3d *p);
void geom3d_rotate_1(point3dlist *list, const transform3d *T);
double geom3d_project_0(pointd *out, const transform3d *T, const point3d *p);
bool geom3d_project_1(pointdlist *out, const transform3d *T, const point3dlist *in);
void geom3d_print(FILE *f, const transform3d *T);
