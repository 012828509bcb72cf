// pwin_fltk_edit: the edit control: the editor's length limit, its text handed over
// with each line break as carriage return and line feed, selection, undo and the clipboard.
#include <cstdlib>

#include "platform/pwin_fltk_internal.h"

namespace pwin_fltk {

// Whether the clipboard may hold text: asked of the X server once when the display
// opens, then kept by the server's change notices and our own Cut and Copy. Asking
// at each menu opening waited on the server while dispatching events, and the
// click that opened the menu was lost in that wait.
int clipboard_text = 0;

void clipboard_changed(int source, void *) {
  if (source == 1) clipboard_text = 1;
}

int Editor::handle(int e) {
  // Text that would pass the limit is refused, and the window told so.
  int n = 0;
  if (e == FL_KEYBOARD && !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META))) {
    int k = Fl::event_key();
    n = (k == FL_Enter || k == FL_KP_Enter) ? 2 : Fl::event_length();
  } else if (e == FL_PASTE) {
    const char *t = Fl::event_text();
    n = Fl::event_length();
    for (int i = 0; t && i < Fl::event_length(); i++) n += t[i] == '\n';
  }
  if (e == FL_KEYBOARD && (Fl::event_state() & FL_CTRL) && (Fl::event_key() == 'c' || Fl::event_key() == 'x'))
    clipboard_text = 1;  // the editor's own Copy and Cut keys fill the clipboard
  if (n > 0) {
    Fl_Text_Buffer *b = buffer();
    int start, end;
    int taken = b->selection_position(&start, &end) ? end - start : 0;
    if (size() - taken + n > edit_limit) {
      post(handle_, PWIN_COMMAND, intptr_t(PWIN_EDIT_ERRSPACE) << 16, 1);
      return 1;
    }
  }
  return Fl_Text_Editor::handle(e);
}

Editor *editor_of(pwin_handle w) {
  Win *r = lookup(w);
  return r ? dynamic_cast<Editor *>(r->frame->client) : nullptr;
}

void edit_set(pwin_handle w, const char *text) {
  FpHold hold;
  Editor *e = editor_of(w);
  if (!e) return;
  std::string t;
  for (const char *c = text ? text : ""; *c; c++)
    if (*c != '\r' || c[1] != '\n') t += *c;
  e->buffer()->text(t.c_str());
  lookup(w)->edited = false;
}

const char *edit_get(pwin_handle w) {
  Editor *e = editor_of(w);
  if (!e) return "";
  Win *r = lookup(w);
  char *t = e->buffer()->text();
  r->text.clear();
  for (const char *c = t; *c; c++) {
    if (*c == '\n') r->text += '\r';
    r->text += *c;
  }
  free(t);
  return r->text.c_str();
}

// Offsets in the handed-over text (line breaks two characters) into the buffer's.
int buffer_offset(Fl_Text_Buffer *b, int32_t at) {
  int pos = 0;
  for (int32_t k = 0; pos < b->length() && k < at; pos++) k += b->byte_at(pos) == '\n' ? 2 : 1;
  return pos;
}

void edit_select(pwin_handle w, int32_t from, int32_t to) {
  Editor *e = editor_of(w);
  if (!e) return;
  Fl_Text_Buffer *b = e->buffer();
  int f = buffer_offset(b, from), t = buffer_offset(b, to);
  b->select(f, t);
  e->insert_position(t);
  e->show_insert_position();
}


// 0 undo, 1 cut, 2 copy, 3 paste.
bool edit_can(pwin_handle w, int command) {
  Editor *e = editor_of(w);
  if (!e) return false;
  switch (command) {
    case 0: return lookup(w)->edited;
    case 1:
    case 2: return e->buffer()->selected() != 0;
    case 3: return clipboard_text != 0;
    default: return false;
  }
}

void edit_command(pwin_handle w, int command) {
  Editor *e = editor_of(w);
  if (!e) return;
  switch (command) {
    case 0: Fl_Text_Editor::kf_undo(0, e); break;
    case 1: Fl_Text_Editor::kf_cut(0, e), clipboard_text = 1; break;
    case 2: Fl_Text_Editor::kf_copy(0, e), clipboard_text = 1; break;
    case 3: Fl_Text_Editor::kf_paste(0, e); break;
  }
}

}  // namespace pwin_fltk
