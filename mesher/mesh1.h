// mesh1: graded point distributions along a segment, used for the node columns of
// extruded meshes.
#pragma once
#include <cstdint>

#include "runtime/vectord.h"

int mesh1_init();

// The interior points of a segment of length L whose spacing starts at hstart, ends at
// hend (each replaced by hcap when not positive), grows at rate g away from both ends and
// never passes hcap. positions and spacings are resized to M entries, M the rounded
// number of intervals (at least 1); entries 1..M-1 receive the interior points measured
// from the start and the spacing there; entry M is left as it was.
void mesh1_spreadout(vectord *positions, vectord *spacings, double hstart, double hcap, double hend, double L,
                     double g);
