// lined: straight-line formulas shared by edges, the front, DXF import and the plane
// geometry: line coefficients, segment crossings, a segment against a 3D line,
// projection and elevation of a point on a segment, point-segment distances.
// Points are arrays of doubles: (x, y) in 2D, (x, y, z) in 3D. No state is kept.
#pragma once

int lined_init();
void lined_line_params(double coef[3], const double p1[2], const double p2[2]);
void lined_line3_params_0(double line[6], const double p1[3], const double p2[3]);
bool lined_insect_1(const double p1[2], const double p2[2], const double p3[2], const double p4[2],
                    double crossing[2], double eps);
bool lined_intersect_0(double range[2], const double line[6], const double p[3], const double q[3]);
double lined_line_projection(const double p[2], const double a[2], const double b[2]);
double lined_line_elevation(const double p[2], const double a[2], const double b[2]);
void lined_line_relative(double result[2], const double p[2], const double a[2], const double b[2]);
double lined_line_distance_0(const double p[2], const double a[2], const double b[2]);
double lined_line_distance_1(const double p[3], const double a[3], const double b[3]);
