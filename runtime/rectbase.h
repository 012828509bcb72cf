// rectbase: the inclusive point tests and bounding-box growth shared by the rectangle
// and box modules (rectd, rects, rectl, rect3d, rect3s); each module wraps them in its
// own traced, named operations.
#pragma once
#include <algorithm>

// Both bounds count as inside, in x and y; mixed types compare in the wider one.
template <class R, class T> bool rectbase_inside(const R *r, T x, T y) {
  return r->x1 <= x && x <= r->x2 && r->y1 <= y && y <= r->y2;
}

// The same in x, y and z.
template <class R, class T> bool rectbase_inside3(const R *r, T x, T y, T z) {
  return rectbase_inside(r, x, y) && r->z1 <= z && z <= r->z2;
}

// Grows r in x and y to hold the point p.
template <class R, class P> void rectbase_grow(R *r, const P *p) {
  r->x1 = std::min(r->x1, p->x);
  r->y1 = std::min(r->y1, p->y);
  r->x2 = std::max(r->x2, p->x);
  r->y2 = std::max(r->y2, p->y);
}

// Grows r in x, y and z to hold the space point p.
template <class R, class P> void rectbase_grow3(R *r, const P *p) {
  rectbase_grow(r, p);
  r->z1 = std::min(r->z1, p->z);
  r->z2 = std::max(r->z2, p->z);
}

// Makes r the union of r and o in x and y.
template <class R> void rectbase_union(R *r, const R *o) {
  r->x1 = std::min(r->x1, o->x1);
  r->y1 = std::min(r->y1, o->y1);
  r->x2 = std::max(r->x2, o->x2);
  r->y2 = std::max(r->y2, o->y2);
}

// The same in x, y and z.
template <class R> void rectbase_union3(R *r, const R *o) {
  rectbase_union(r, o);
  r->z1 = std::min(r->z1, o->z1);
  r->z2 = std::max(r->z2, o->z2);
}
