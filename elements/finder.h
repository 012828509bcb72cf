// finder: the cell finder's record held inside each mesh: slabs along each axis of the
// mesh's box, each with a bit per cell whose box overlaps it, and its release.
#pragma once
#include <cstdint>

#include "runtime/rect3d.h"
#include "runtime/rectd.h"
#include "runtime/vector2t.h"

struct finder {
  uint8_t built;                    // 1 once built; cleared when cells or nodes move
  uint16_t binsx, binsy, binsz;     // slabs per axis; binsz 0 in two dimensions
  double size;                      // slab size relative to the box (0: the default 0.05)
  double widthx, widthy, widthz;    // slab widths
  rectd plane;                      // x, y bounds of the box
  rect3d box;                       // the box
  vector2t slabsx, slabsy, slabsz;  // per slab, bit c set when cell c's box overlaps it
};

// The FINDER debug switch of the current problem: each build of a mesh's finder
// writes its slab counts and widths and the cells of every slab to the debug log.
extern uint8_t finder_debug;

int finder_init();
// Frees the three slab vectors with their bit vectors and clears built.
void finder_free(finder *f);
