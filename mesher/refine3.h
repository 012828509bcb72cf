// refine3: split and merge of tetrahedral cells. Only their entries exist so far, and
// they stop: three-dimensional refinement is not available yet.
#pragma once
#include <cstdint>

#include "runtime/vectorvd.h"

struct Mesh;

// Stop with "BAD ORDER".
void refine3_subdivide3(Mesh *m, int32_t cell, int32_t basis, vectorvd *values, uint8_t log);
uint16_t refine3_mergecell3(Mesh *m, int32_t cell, int32_t basis, double threshold);
