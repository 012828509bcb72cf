// gagscren: the message pump and the pens of the screen.
#pragma once
#include <cstdint>

int gagscren_init();

// Dispatches all pending window messages; with wait 1 it first waits for one.
void gagscren_dispatch(uint8_t wait);
// Recreates the pens with width width x unit.
void gagscren_create_pens(float unit, int32_t width);
