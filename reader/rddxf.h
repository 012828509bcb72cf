// rddxf: turning a DXF drawing into a descriptor.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

int rddxf_init();

// Turns the drawing of that name into a descriptor of the same name; 0 on success.
int32_t rddxf_scan_dxf(const String *name);
