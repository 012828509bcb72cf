// pwin_fltk_dialog: the dialog service: a modal window of a resource's items whose
// presses go to the dialog's procedure until it ends the dialog.
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>

#include <memory>

#include "platform/pwin_fltk_internal.h"
#include "platform/pwin_menu.h"

namespace pwin_fltk {

// Dialogs: a modal window of the resource's items; a button or check box pressed, or
// the box closed (Cancel), goes to the procedure, and the box stays until ended.
struct Dialog {
  Fl_Window *box = nullptr;
  std::map<uint16_t, Fl_Widget *> items;
  pwin_dialog_proc proc = nullptr;
  bool ended = false;
  int32_t result = 0;
};
std::map<pwin_handle, Dialog> dialogs;
std::string dialog_text;

struct Press {
  pwin_handle dialog;
  uint16_t id;
};

void pressed(pwin_handle d, uint16_t id) {
  auto it = dialogs.find(d);
  if (it != dialogs.end() && !it->second.ended) it->second.proc(id, 0, d);
}

int32_t dialog(pwin_handle owner, const char *resource, pwin_dialog_proc proc) {
  const pwin_dialog_resource *r = pwin_dialog_find(resource);
  if (!r) return -1;
  pwin_handle id = next_handle++;
  Dialog &d = dialogs[id];
  d.proc = proc;
  std::vector<std::unique_ptr<Press>> presses;
  Fl_Group::current(nullptr);
  Fl_Window box(r->width, r->height);
  box.copy_label(r->caption.c_str());
  for (const pwin_dialog_item &i : r->items) {
    Fl_Widget *w = nullptr;
    switch (i.kind) {
      case PWIN_DLG_EDIT: w = new Fl_Input(i.x, i.y, i.width, i.height); break;
      case PWIN_DLG_BUTTON: w = new Fl_Button(i.x, i.y, i.width, i.height); break;
      case PWIN_DLG_CHECK: w = new Fl_Check_Button(i.x, i.y, i.width, i.height); break;
      default: w = new Fl_Box(i.x, i.y, i.width, i.height); break;
    }
    if (i.kind == PWIN_DLG_EDIT) static_cast<Fl_Input *>(w)->value(i.text.c_str());
    else w->copy_label(i.text.c_str());
    if (i.kind == PWIN_DLG_BUTTON || i.kind == PWIN_DLG_CHECK) {
      presses.push_back(std::make_unique<Press>(Press{id, i.id}));
      w->callback([](Fl_Widget *, void *p) { pressed(static_cast<Press *>(p)->dialog, static_cast<Press *>(p)->id); },
                  presses.back().get());
    }
    d.items[i.id] = w;
  }
  box.end();
  Press cancel = {id, PWIN_IDCANCEL};
  box.callback([](Fl_Widget *, void *p) { pressed(static_cast<Press *>(p)->dialog, PWIN_IDCANCEL); }, &cancel);
  box.set_modal();
  over(&box, owner);
  d.box = &box;
  proc(1, 0, id);
  if (!dialogs[id].ended) box.show();
  while (!dialogs[id].ended && !pwin_waits_interrupted()) Fl::wait(0.25);
  box.hide();
  int32_t result = dialogs[id].result;
  dialogs.erase(id);
  return result;
}

void dialog_end(pwin_handle d, int32_t result) {
  auto it = dialogs.find(d);
  if (it != dialogs.end()) it->second.ended = true, it->second.result = result;
}

Fl_Widget *dialog_item(pwin_handle d, uint16_t item) {
  auto it = dialogs.find(d);
  if (it == dialogs.end()) return nullptr;
  auto w = it->second.items.find(item);
  return w == it->second.items.end() ? nullptr : w->second;
}

const char *dialog_get(pwin_handle d, uint16_t item) {
  Fl_Widget *w = dialog_item(d, item);
  if (Fl_Input *in = dynamic_cast<Fl_Input *>(w)) dialog_text = in->value();
  else if (Fl_Check_Button *c = dynamic_cast<Fl_Check_Button *>(w)) dialog_text = c->value() ? "1" : "0";
  else dialog_text = w && w->label() ? w->label() : "";
  return dialog_text.c_str();
}

void dialog_set(pwin_handle d, uint16_t item, const char *text) {
  Fl_Widget *w = dialog_item(d, item);
  if (Fl_Input *in = dynamic_cast<Fl_Input *>(w)) in->value(text ? text : "");
  else if (w) w->copy_label(text ? text : "");
}

void dialog_check(pwin_handle d, uint16_t item, bool on) {
  if (Fl_Check_Button *c = dynamic_cast<Fl_Check_Button *>(dialog_item(d, item))) c->value(on ? 1 : 0);
}

}  // namespace pwin_fltk
