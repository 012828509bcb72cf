// rddxf: DXF import: the layers, line and arc segments and texts of a two-dimensional
// drawing become a descriptor: one region per layer, its boundary paths chained from
// the segments, condition texts placed at their nearest segment, other texts as lines.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

int rddxf_init();

// Reads the drawing path + ".DXF" (or path + ".dxf" when that does not exist) and
// writes the descriptor path + ".pde"; path is the problem's folder and name. Returns
// 0 on success and 1 when the drawing cannot be opened ("Can't open file", nothing
// written) or holds a group it cannot read ("Illegal Group", "Invalid Y-coord code":
// the descriptor is still written from what was read). A descriptor that cannot be
// created is the execution error "Can't Open PDE Output File".
int32_t rddxf_scan_dxf(const String *path);
