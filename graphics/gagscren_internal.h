// gagscren_internal: the pen state and caption helper that the back end's drawing and
// printing files share.
#pragma once
#include <string>

#include "graphics/gagscren.h"

// The surface the pen was last set for.
extern const psurf *pen_device;

std::string caption_of(const viewrec *v, size_t most);
