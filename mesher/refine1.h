// refine1: the split history of mesh cells (one byte per split a cell took part in),
// the rotation of a node's cell list into history order, and the one-dimensional split
// and merge entries of the refinement driver, which change nothing.
#pragma once
#include <cstdint>

#include "runtime/vectorl.h"
#include "runtime/vectorvd.h"

struct Mesh;

int refine1_init();

// The history byte of a split: slot (1..15, the cell's place around the node the split
// made) in the high four bits, position (1..15, that node's place in the cell's node
// list) in the low four.
constexpr uint8_t refine1_history_byte(uint8_t slot, uint8_t position) { return uint8_t(slot * 16 + position); }

// Appends the byte slot * 16 + position to the cell's split history.
void refine1_log_split(Mesh *m, int32_t cell, uint8_t slot, uint8_t position);
// Rotates a 1-based list by one place: entries 2..count move down, the first goes last.
void refine1_rotate(vectorl *list);
// One-dimensional split and merge: nothing to do; the merge removes no cell.
void refine1_subdivide1(Mesh *m, int32_t cell, int32_t basis, vectorvd *values, uint8_t log);
uint16_t refine1_mergecell1(Mesh *m, int32_t cell, int32_t basis, double threshold);
