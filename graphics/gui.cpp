// gui, headless: no windows; the editor is a line buffer that always takes the text.
#include "graphics/gui.h"

#include "control/pdedat.h"
#include "graphics/display.h"
#include "runtime/rtlib.h"

void gui_graphinit() {}

void gui_pde_window(pde *p) {
  display_initpad(&p->status, 20, p->pdeview);
  p->status.key = &p->stop;
}

void gui_edit_pde(pde *p) {
  p->stage = 1;
  p->stagevalue = 1.0;
  p->prevphase = p->phase;
  p->phase = 2;
}

void gui_haltmenu(pde *) {}
void gui_runmenu(pde *) {}
void gui_build_windows(pde *) {}
void gui_close_plots(pde *) {}
void gui_check_save(pde *) {}

int gui_init() {
  TRACE("gui");
  return 0;
}
