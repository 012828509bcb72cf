// planed: planes through three points and lines in space: signed distances, where
// segments and planes meet, the line of two planes, angles between planes, triangle
// overlap along a line, triangle areas, and the growable plane vector.
#pragma once
#include <cstdint>

struct pointd;
struct point3d;

// The plane {x : n . x = offset} through p1, p2, p3 with the unit normal n along
// (p2 - p1) x (p3 - p1); magnitude is that cross product's length (twice the area).
struct planerec {
  double nx, ny, nz, offset, magnitude;
};

// A line in space: a point on it and the unit direction.
struct linerec {
  double x, y, z, dx, dy, dz;
};

struct planevec {
  int32_t count;     // planes in use, numbered 1..count
  int32_t capacity;  // planes allocated
  planerec *data;    // plane i is data[i-1]
};

int planed_init();
void planed_plane_params(planerec *plane, const point3d *p1, const point3d *p2, const point3d *p3);
double planed_plane_distance_0(const planerec *plane, const point3d *q);
double planed_plane_distance_1(const point3d *p1, const point3d *p2, const point3d *p3, const point3d *q);
bool planed_intersect_0(point3d *out, const planerec *plane, const point3d *a, const point3d *b);
bool planed_intersect_1(const point3d *p1, const point3d *p2, const point3d *p3, const point3d *q1,
                        const point3d *q2, const point3d *q3, double tol);
double planed_normality(const planerec *plane, const point3d *a, const point3d *b);
double planed_cosine_0(const planerec *plane1, const planerec *plane2);
double planed_cosine_1(const planerec *plane1, const point3d *p1, const point3d *p2, const point3d *p3);
double planed_sine_0(const planerec *plane1, const planerec *plane2);
double planed_sine_1(const planerec *plane1, const point3d *p1, const point3d *p2, const point3d *p3);
double planed_angle(const planerec *plane1, const planerec *plane2, const point3d *q);
bool planed_line3_params(linerec *line, const planerec *plane1, const planerec *plane2);
double planed_area_0(const pointd *p1, const pointd *p2, const pointd *p3);
double planed_area_1(const point3d *p1, const point3d *p2, const point3d *p3);
void planed_resize(planevec *v, int32_t count, int32_t capacity);
void planed_free(planevec *v);
