// clipping: one algorithm for every coordinate type. Each end outside the x range is
// moved along the segment to the nearer x edge, then each end outside the y range to
// the nearer y edge; the edges themselves count as inside.
#include "runtime/clipping.h"

#include "runtime/pointd.h"
#include "runtime/pointl.h"
#include "runtime/points.h"
#include "runtime/rectd.h"
#include "runtime/rectl.h"
#include "runtime/rects.h"
#include "runtime/rtlib.h"

int clipping_init() {
  TRACE("clipping");
  return 0;
}

// The coordinate u1 of the point at v = edge on the segment from (v1, u1) to (v2, u2),
// for floating coordinates: computed in double, stored in the coordinate type.
template <class T> static T cut(T u1, T u2, T v1, T v2, T edge) {
  return static_cast<T>(static_cast<double>(u1) + (static_cast<double>(u2) - u1) *
                                                      (static_cast<double>(edge) - v1) /
                                                      (static_cast<double>(v2) - v1));
}

// For integers: the product of the two differences divided, in double, by the third,
// truncated toward zero. The differences and the product are formed in 64 bits, so
// that far-apart pixel coordinates cannot wrap.
template <> int32_t cut<int32_t>(int32_t u1, int32_t u2, int32_t v1, int32_t v2, int32_t edge) {
  int64_t num = (static_cast<int64_t>(u2) - u1) * (static_cast<int64_t>(edge) - v1);
  return u1 + static_cast<int32_t>(static_cast<double>(num) / static_cast<double>(static_cast<int64_t>(v2) - v1));
}

template <class T> static int side(T v, T lo, T hi) { return v < lo ? -1 : (v > hi ? 1 : 0); }

// Moves the end p of the segment p-q along it to the line v = edge (v is x or y, u the
// other coordinate).
template <class P, class T> static void to_edge(P *p, const P *q, T P::*v, T P::*u, T edge) {
  p->*u = cut(p->*u, q->*u, p->*v, q->*v, edge);
  p->*v = edge;
}

template <class P, class R> static int32_t clip(P *oa, P *ob, const R *r, const P *ia, const P *ib) {
  P a = *ia, b = *ib;
  int32_t bits = 0;
  int ax = side(a.x, r->x1, r->x2), bx = side(b.x, r->x1, r->x2);
  int ay = side(a.y, r->y1, r->y2), by = side(b.y, r->y1, r->y2);
  if ((ax != 0 && ax == bx) || (ay != 0 && ay == by)) {
    bits = CLIP_OUTSIDE;
  } else {
    if (ax != 0) {
      to_edge(&a, &b, &P::x, &P::y, ax < 0 ? r->x1 : r->x2);
      bits |= CLIP_MOVED_A;
      ay = side(a.y, r->y1, r->y2);
    }
    if (bx != 0) {
      to_edge(&b, &a, &P::x, &P::y, bx < 0 ? r->x1 : r->x2);
      bits |= CLIP_MOVED_B;
      by = side(b.y, r->y1, r->y2);
    }
    if (ay != 0 && ay == by) {
      bits = CLIP_OUTSIDE;  // the segment passes outside a corner
    } else {
      if (ay != 0) {
        to_edge(&a, &b, &P::y, &P::x, ay < 0 ? r->y1 : r->y2);
        bits |= CLIP_MOVED_A;
      }
      if (by != 0) {
        to_edge(&b, &a, &P::y, &P::x, by < 0 ? r->y1 : r->y2);
        bits |= CLIP_MOVED_B;
      }
    }
  }
  *oa = a;
  *ob = b;
  return bits;
}

// Clips a-b into oa-ob (double coordinates); returns the result bits.
int32_t clipping_clipline_1(pointd *oa, pointd *ob, const rectd *r, const pointd *a, const pointd *b) {
  TRACE("clipping_clipline_1");
  return clip(oa, ob, r, a, b);
}

int32_t clipping_clipline_0(pointd *a, pointd *b, const rectd *r) {
  TRACE("clipping_clipline_0");
  return clip(a, b, r, a, b);
}

int32_t clipping_clipline_3(points *oa, points *ob, const rects *r, const points *a, const points *b) {
  TRACE("clipping_clipline_3");
  return clip(oa, ob, r, a, b);
}

int32_t clipping_clipline_2(points *a, points *b, const rects *r) {
  TRACE("clipping_clipline_2");
  return clip(a, b, r, a, b);
}

int32_t clipping_clipline_5(pointl *oa, pointl *ob, const rectl *r, const pointl *a, const pointl *b) {
  TRACE("clipping_clipline_5");
  return clip(oa, ob, r, a, b);
}

int32_t clipping_clipline_4(pointl *a, pointl *b, const rectl *r) {
  TRACE("clipping_clipline_4");
  return clip(a, b, r, a, b);
}

// True when some segment between consecutive points is at least partly visible.
template <class L, class R> static bool any_visible(const L *list, const R *r) {
  for (int32_t i = 1; i < list->count; i++) {
    auto a = list->data[i - 1], b = list->data[i];
    if (clip(&a, &b, r, &a, &b) != CLIP_OUTSIDE) return true;
  }
  return false;
}

bool clipping_checkpolyline_0(const pointdlist *list, const rectd *r) {
  TRACE("clipping_checkpolyline_0");
  return any_visible(list, r);
}

bool clipping_checkpolyline_1(const pointslist *list, const rects *r) {
  TRACE("clipping_checkpolyline_1");
  return any_visible(list, r);
}
