// window_record: a problem's window state as one record, `WindowState`: its windows,
// the tile grid of its plot windows and the show requests deferred while it is
// minimised, the Save As fallback folder, the plot file, the status panel and the text
// styles. The application (app/) makes the windows, lays out the tiles and keeps the
// deferred requests; every library posts its lines on the status panel; run control
// releases the record when it frees the problem (the batch programs and the tests run
// without the application). The problem record `pde` derives from it, so each field is
// reached as p->name.
#pragma once
#include <cstdint>

#include "graphics/display.h"
#include "graphics/gag1d.h"
#include "runtime/filio.h"
#include "runtime/strings.h"
#include "runtime/vectorn.h"

struct WindowState {
  // Windows: the problem window, its editor, its full-area view (where the mesh is
  // shown under the status panel), the domain window and the eigenvalue window; 0 none.
  uint16_t pdeview, editview;
  uint16_t meshview, domainview, eigview;
  uint8_t goon;  // run after domain: the domain window's Run meshes after the display (its Edit clears it)
  uint8_t windowopen, iconized;       // the problem window exists; it is minimised
  uint8_t plotsshown, monitorsshown;  // which set of plot windows is tiled
  uint8_t windowsbuilt;               // the run's plot windows are made (cleared when they close and at every parse)
  String fallback;                    // Save As folder when the current one is read-only
  // The tile grid of the plot windows: rows, columns, tile size and origin in pixels.
  uint16_t tilerows, tilecols, tilewidth, tileheight, tilex, tiley;
  vectorn deferred;  // show requests made while minimised: a view, or view + 4096 to hide
  IOfile plotfile;
  pad status;
  plotframe styles[6];  // one per text style
};
