// evalpoint: the point at which an expression is evaluated, filled by its caller:
// global and local coordinates, the localised cell, the nodal values in use, the side,
// the quadrature point and the basis function in hand.
#pragma once
#include <cstdint>

struct LocalCell;
struct vector2d;
struct constraint;

struct evalpoint {
  double x, y, z;        // global coordinates
  double nx, ny, nz;     // unit outward normal given by the caller (side 0)
  double t;              // time
  double local[4];       // barycentric coordinates L1..L4 in the current cell
  LocalCell *cell;       // the localised current cell
  vector2d *values;      // nodal values of the variables, one vectord per variable
  vector2d *rates;       // nodal rates, laid out as values
  constraint *constr;    // the constraint whose Jacobian is formed; null otherwise
  uint32_t cellno;       // mesh cell number of the current cell
  uint16_t region;       // region number of the current cell
  uint8_t side;          // 0 off the sides; else the side (1..3 in 2D, 1..4 in 3D)
  uint8_t qpoint;        // 1-based quadrature point of the active rule
  uint8_t basisfn;       // basis function that basis leaves evaluate
  uint8_t constrflag;    // 1 while a constraint Jacobian is formed
  uint8_t needed;        // 1 where the equations need a value: no TRANSFER data there is an error
};
