// geom3d: affine view transforms with a perspective projection. Every edit
// premultiplies: it acts after the map the transform already describes, so it
// changes the offset column too.
#include "runtime/geom3d.h"

#include <cmath>
#include <cstring>

#include "runtime/point3d.h"
#include "runtime/pointd.h"
#include "runtime/rtlib.h"

int geom3d_init() {
  TRACE("geom3d");
  return 0;
}

// R = I, no offset, viewing distance 10^6 (an almost parallel projection).
void geom3d_identity(transform3d *T) {
  TRACE("geom3d_identity_0");
  memset(T->t, 0, sizeof T->t);
  T->t[0] = T->t[5] = T->t[10] = 1.0;
  T->t[12] = 1.0e6;
}

void geom3d_translate(transform3d *T, double dx, double dy, double dz) {
  TRACE("geom3d_translate_0");
  T->t[3] -= dx;
  T->t[7] -= dy;
  T->t[11] -= dz;
}

void geom3d_scale(transform3d *T, double sx, double sy, double sz) {
  TRACE("geom3d_scale_0");
  for (int k = 0; k < 4; k++) {
    T->t[k] *= sx;
    T->t[4 + k] *= sy;
    T->t[8 + k] *= sz;
  }
}

// Replaces rows i and j (offsets included) by (c i + s j, c j - s i); the three
// rotations are this with the rows and the sign of s chosen per axis.
static void turn_rows(transform3d *T, int i, int j, double s, double c) {
  for (int k = 0; k < 4; k++) {
    double a = T->t[4 * i + k], b = T->t[4 * j + k];
    T->t[4 * i + k] = c * a + s * b;
    T->t[4 * j + k] = c * b - s * a;
  }
}

// Row y := c y + s z, row z := c z - s y.
void xrotate1(transform3d *T, double s, double c) {
  TRACE("xrotate1_0");
  turn_rows(T, 1, 2, s, c);
}

// Row x := c x - s z, row z := s x + c z.
void yrotate1(transform3d *T, double s, double c) {
  TRACE("yrotate1_0");
  turn_rows(T, 0, 2, -s, c);
}

// Row x := c x + s y, row y := c y - s x.
void zrotate1(transform3d *T, double s, double c) {
  TRACE("zrotate1_0");
  turn_rows(T, 0, 1, s, c);
}

void geom3d_xrotate_0(transform3d *T, double angle) {
  TRACE("geom3d_xrotate_0");
  xrotate1(T, sin(angle), cos(angle));
}

void geom3d_yrotate_0(transform3d *T, double angle) {
  TRACE("geom3d_yrotate_0");
  yrotate1(T, sin(angle), cos(angle));
}

void geom3d_zrotate_0(transform3d *T, double angle) {
  TRACE("geom3d_zrotate_0");
  zrotate1(T, sin(angle), cos(angle));
}

// The rotations by the angle of the vector (a, b) from the first axis: s = b/r,
// c = a/r with r = |(a, b)|; (a, b) must not be (0, 0).
void geom3d_xrotate_1(transform3d *T, double a, double b) {
  TRACE("geom3d_xrotate_1");
  double r = sqrt(a * a + b * b);
  xrotate1(T, b / r, a / r);
}

void geom3d_yrotate_1(transform3d *T, double a, double b) {
  TRACE("geom3d_yrotate_1");
  double r = sqrt(a * a + b * b);
  yrotate1(T, b / r, a / r);
}

void geom3d_zrotate_1(transform3d *T, double a, double b) {
  TRACE("geom3d_zrotate_1");
  double r = sqrt(a * a + b * b);
  zrotate1(T, b / r, a / r);
}

// Row x := row x + cos(angle) row y.
void geom3d_xshear(transform3d *T, double angle) {
  TRACE("geom3d_xshear_0");
  double c = cos(angle);
  for (int k = 0; k < 4; k++) T->t[k] += c * T->t[4 + k];
}

// Row y := row y + cos(angle) row x.
void geom3d_yshear(transform3d *T, double angle) {
  TRACE("geom3d_yshear_0");
  double c = cos(angle);
  for (int k = 0; k < 4; k++) T->t[4 + k] += c * T->t[k];
}

// C := A after B (C may be A or B); entries 12-15 of C are left as they are.
void geom3d_mul(transform3d *C, const transform3d *A, const transform3d *B) {
  TRACE("geom3d_mul_0");
  double r[12];
  for (int i = 0; i < 3; i++) {
    const double *a = A->t + 4 * i;
    for (int k = 0; k < 4; k++) r[4 * i + k] = a[0] * B->t[k] + a[1] * B->t[4 + k] + a[2] * B->t[8 + k];
    r[4 * i + 3] += a[3];
  }
  memcpy(C->t, r, sizeof r);
}

// D := the inverse affine map of S (D may be S): R^-1 by cofactors, offset -R^-1 t;
// d and c are copied. A determinant of exactly 0 returns false with D untouched.
bool geom3d_inverse_rotation(transform3d *D, const transform3d *S) {
  TRACE("geom3d_inverse_rotation_0");
  const double *s = S->t;
  double a = s[0], b = s[1], c = s[2], d = s[4], e = s[5], f = s[6], g = s[8], h = s[9], k = s[10];
  double c00 = e * k - f * h, c01 = c * h - b * k, c02 = b * f - c * e;
  double c10 = f * g - d * k, c11 = a * k - c * g, c12 = c * d - a * f;
  double c20 = d * h - e * g, c21 = b * g - a * h, c22 = a * e - b * d;
  double det = a * c00 + b * c10 + c * c20;
  if (det == 0.0) return false;
  double r[16] = {c00 / det, c01 / det, c02 / det, 0, c10 / det, c11 / det, c12 / det, 0,
                  c20 / det, c21 / det, c22 / det, 0, s[12],     s[13],     0,         0};
  for (int i = 0; i < 3; i++)
    r[4 * i + 3] = -(r[4 * i] * s[3] + r[4 * i + 1] * s[7] + r[4 * i + 2] * s[11]);
  memcpy(D->t, r, sizeof r);
  return true;
}

// Fills D with the columns u, v, w, the offset o, d = 10^6 and c = 0.
static void set_frame(transform3d *D, const double u[3], const double v[3], const double w[3], const point3d *o) {
  memset(D->t, 0, sizeof D->t);
  for (int i = 0; i < 3; i++) {
    D->t[4 * i] = u[i];
    D->t[4 * i + 1] = v[i];
    D->t[4 * i + 2] = w[i];
  }
  D->t[3] = o->x;
  D->t[7] = o->y;
  D->t[11] = o->z;
  D->t[12] = 1.0e6;
}

// The frame of the plane through p1, p2, p3: columns (p2 - p1)/s1, (p3 - p1)/s2 and
// their unnormalised cross product (p2 - p1) x (p3 - p1), offset p1.
void geom3d_rotate_plane_to(transform3d *D, const point3d *p1, const point3d *p2, const point3d *p3, double s1,
                            double s2) {
  TRACE("geom3d_rotate_plane_to_0");
  double a[3] = {p2->x - p1->x, p2->y - p1->y, p2->z - p1->z};
  double b[3] = {p3->x - p1->x, p3->y - p1->y, p3->z - p1->z};
  double u[3] = {a[0] / s1, a[1] / s1, a[2] / s1}, v[3] = {b[0] / s2, b[1] / s2, b[2] / s2};
  double w[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  set_frame(D, u, v, w, p1);
}

// Columns p1 - p0, p2 - p0, p3 - p0 with rows x, y, z scaled by s1, s2, s3; offset p0.
void geom3d_rotate_to(transform3d *D, const point3d *p0, const point3d *p1, const point3d *p2, const point3d *p3,
                      double s1, double s2, double s3) {
  TRACE("geom3d_rotate_to_0");
  const point3d *p[3] = {p1, p2, p3};
  double col[3][3];
  for (int j = 0; j < 3; j++) {
    col[j][0] = s1 * (p[j]->x - p0->x);
    col[j][1] = s2 * (p[j]->y - p0->y);
    col[j][2] = s3 * (p[j]->z - p0->z);
  }
  set_frame(D, col[0], col[1], col[2], p0);
}

// The inverse of the frame of geom3d_rotate_to; false for a singular frame.
bool geom3d_rotate_from(transform3d *D, const point3d *p0, const point3d *p1, const point3d *p2,
                        const point3d *p3, double s1, double s2, double s3) {
  TRACE("geom3d_rotate_from_0");
  transform3d F;
  geom3d_rotate_to(&F, p0, p1, p2, p3, s1, s2, s3);
  return geom3d_inverse_rotation(D, &F);
}

// out := R p + t (out may be p).
void geom3d_rotate_0(point3d *out, const transform3d *T, const point3d *p) {
  TRACE("geom3d_rotate_0");
  const double *t = T->t;
  double x = p->x, y = p->y, z = p->z;
  out->x = t[0] * x + t[1] * y + t[2] * z + t[3];
  out->y = t[4] * x + t[5] * y + t[6] * z + t[7];
  out->z = t[8] * x + t[9] * y + t[10] * z + t[11];
}

void geom3d_rotate_1(point3dlist *list, const transform3d *T) {
  TRACE("geom3d_rotate_1");
  for (int32_t i = 0; i < list->count; i++) geom3d_rotate_0(&list->data[i], T, &list->data[i]);
}

// Maps p and applies the perspective f = d / (y' + d) about the horizontal centre c
// (the vertical about 0); a point at or behind the eye (f <= 0, or exactly in the
// eye plane) is drawn unscaled. Returns the depth y' + d; *behind tells which.
static double project(pointd *out, const transform3d *T, const point3d *p, bool *behind) {
  point3d q;
  geom3d_rotate_0(&q, T, p);
  double d = T->t[12], c = T->t[13], depth = q.y + d;
  double f = depth != 0.0 ? d / depth : 0.0;
  *behind = f <= 0.0;
  if (*behind) f = 1.0;
  out->x = (q.x - c) * f + c;
  out->y = f * q.z;
  return depth;
}

double geom3d_project_0(pointd *out, const transform3d *T, const point3d *p) {
  TRACE("geom3d_project_0");
  bool behind;
  return project(out, T, p, &behind);
}

// Projects every point of in into out (sized to in's count); false when any point
// lay at or behind the eye.
bool geom3d_project_1(pointdlist *out, const transform3d *T, const point3dlist *in) {
  TRACE("geom3d_project_1");
  pointd_resize_1(out, in->count, in->count);
  bool all = true;
  for (int32_t i = 0; i < in->count; i++) {
    bool behind;
    project(&out->data[i], T, &in->data[i], &behind);
    if (behind) all = false;
  }
  return all;
}

// A blank line, then the 16 entries four to a line.
void geom3d_print(FILE *f, const transform3d *T) {
  TRACE("geom3d_print_0");
  fprintf(f, "\n");
  for (int i = 0; i < 16; i += 4)
    fprintf(f, "%10.6e %10.6e %10.6e %10.6e \n", T->t[i], T->t[i + 1], T->t[i + 2], T->t[i + 3]);
}
