// crossing: the points where a function that varies along the edges of one cell
// crosses zero, kept as local points of the cell in one module-wide list.
#pragma once
#include <cstdint>

// Holds the crossings of one cell: up to three roots on each of the four cubic edges
// a plane cut examines in a tetrahedron. The caller sets count to 0 before a cell.
enum { CROSSING_MAX = 12 };

struct crossinglist {
  uint16_t count;
  double L[CROSSING_MAX][4];     // local point L1..L4 of each crossing
  uint16_t code[CROSSING_MAX];   // edge code 1-9 (0 or above 9: no coordinates set)
  uint8_t live[CROSSING_MAX];
};

extern crossinglist crossing_list;

int crossing_init();
// Appends the crossing at parameter t on the coded edge; a full list takes no more.
void crossing_aclist_0(double t, uint16_t code);
// Appends a local point unless one in the list lies within squared distance 1e-8.
void crossing_aclist_1(const double *L, uint16_t code);
// Appends a local point however near it lies to the others; a full list takes no more.
void crossing_aclist_2(const double *L, uint16_t code);
// Roots of a t + b, a t^2 + b t + c and a t^3 + b t^2 + c t + d with
// -tol < t < 1 + tol, appended in the order found.
void crossing_bcross1(double a, double b, uint16_t code, double tol);
void crossing_bcross2(double a, double b, double c, uint16_t code, double tol);
void crossing_bcross3(double a, double b, double c, double d, uint16_t code, double tol);
// Drops every live crossing within squared distance 1e-8 of an earlier one; compacts.
void crossing_clean_crossings(crossinglist *l);
