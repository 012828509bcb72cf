// gagscren_internal: the output state and caption helper that the back end's drawing
// and printing files share.
#pragma once
#include <cstdint>
#include <string>

#include "graphics/gagscren.h"
#include "platform/pwin.h"

// What the back end keeps from call to call for its output: the surface and width the
// pen was last set for (forgotten when that surface closes, since a later surface may
// take its address) and the print settings a print or print setup leaves in force.
// gagscren_reset_output returns it to the state of a fresh start.
struct ScreenOutput {
  const psurf *pen_device = nullptr;
  int32_t pen_device_width = -1;
  bool print_setup_held = false;  // a print or print setup has chosen the orientation
  bool print_landscape = false;
  pwin_handle abort_box = 0;  // the Printing notice of the document under way
  std::string print_path;     // the PDF the print dialog named
};
extern ScreenOutput screen_output;

std::string caption_of(const viewrec *v, size_t most);
