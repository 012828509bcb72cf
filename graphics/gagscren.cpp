// gagscren, headless: no message queue and no pens.
#include "graphics/gagscren.h"

void gagscren_dispatch(uint8_t) {}
void gagscren_create_pens(float, int32_t) {}
