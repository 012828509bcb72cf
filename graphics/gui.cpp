// gui, headless: no windows; the editor is a line buffer that always takes the text.
#include "graphics/gui.h"

#include <cstdio>
#include <initializer_list>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

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
// Asks, titled with the product name, whether to save the modified descriptor; on
// Yes the save dialog offers the problem's name, and a chosen name receives the text
// and becomes the problem's name. The text counts as unmodified afterwards.
void gui_check_save(pde *p) {
  TRACE("gui_check_save");
  String m{}, ext{}, choice{};
  strings_copyto_0(&m, &p->name);
  strings_addto_1(&m, " has been modified.\nDo you want to save the changes?");
  if (pdedat_yesno_message(p->pdeview, &m, &verdat_product)) {
    strings_copyto_0(&ext, &verdat_pdeext);
    strings_copyto_0(&choice, &p->name);
    if (gag_getsavefilename(p->pdeview, &ext, &choice, &ext) && choice.length > 0 && p->desctext) {
      textin_write_text_1(p->desctext, &choice);
      pdedat_setpdename(p, &choice);
    }
  }
  p->modified = 0;
  for (String *s : {&m, &ext, &choice}) strings_free_0(s);
}

// Asks whether to refine beyond the grid limit: cells is the count of cells above the
// error limit, maxerr the largest cell error. True for Yes.
bool gui_warngrid(pde *p, int32_t cells, double maxerr) {
  TRACE("gui_warngrid");
  char text[160];
  snprintf(text, sizeof text, "Exceeded Regrid Limit.\n%d Cells exceed errlim\nMax err is %g\nContinue gridding?",
           int(cells), maxerr);
  String m{}, c{};
  strings_copyto_1(&m, text);
  strings_copyto_1(&c, "GRID LIMIT");
  bool yes = pdedat_yesno_message(p->pdeview, &m, &c) != 0;
  strings_free_0(&m);
  strings_free_0(&c);
  return yes;
}

int gui_init() {
  TRACE("gui");
  return 0;
}
