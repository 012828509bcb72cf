// pwin_fltk_box: modal message boxes, the notice that stays up with its Cancel, and beeps.
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <memory>

#include "platform/pwin_fltk_internal.h"

namespace pwin_fltk {

// Places a window over the middle of its owner's window, or of the screen.
void over(Fl_Window *box, pwin_handle owner) {
  Win *o = lookup(owner);
  int x, y, w, h;
  if (o && o->frame->shown()) x = o->frame->x(), y = o->frame->y(), w = o->frame->w(), h = o->frame->h();
  else Fl::screen_work_area(x, y, w, h, 0);
  box->position(x + (w - box->w()) / 2, y + (h - box->h()) / 2);
}

struct Answer {
  int *result;
  int value;
};

void answered(Fl_Widget *w, void *data) {
  Answer *a = static_cast<Answer *>(data);
  *a->result = a->value;
  w->window()->hide();
}

// A modal box with the text and buttons, each with its answer; closing it answers
// the last button's.
int ask(pwin_handle owner, const char *text, const char *caption, std::vector<std::pair<const char *, int>> buttons) {
  fl_font(FL_HELVETICA, 14);
  int tw = 360, th = 0;
  fl_measure(text, tw, th, 0);
  tw = std::clamp(tw, 200, 600);
  int bw = 80, w = std::max(tw + 20, int(buttons.size()) * (bw + 10) + 10), h = th + 70;
  int result = buttons.back().second;
  Fl_Group::current(nullptr);
  Fl_Window box(w, h);
  box.copy_label(caption);
  Fl_Box message(10, 10, w - 20, th + 10);
  message.copy_label(text);
  message.align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
  std::vector<std::unique_ptr<Fl_Button>> keep;
  std::vector<Answer> answers(buttons.size());
  for (size_t i = 0; i < buttons.size(); i++) {
    int x = w - int(buttons.size() - i) * (bw + 10);
    keep.push_back(std::make_unique<Fl_Button>(x, h - 40, bw, 30, buttons[i].first));
    answers[i] = {&result, buttons[i].second};
    keep.back()->callback(answered, &answers[i]);
  }
  box.end();
  Answer closing = {&result, buttons.back().second};
  box.callback([](Fl_Widget *w, void *data) { answered(static_cast<Fl_Window *>(w)->child(0), data); }, &closing);
  box.set_modal();
  over(&box, owner);
  box.show();
  keep.front()->take_focus();
  // Waits a quarter second at most, so that a request to end the program closes the box.
  while (box.shown() && !pwin_waits_interrupted()) Fl::wait(0.25);
  return result;
}

int message_box(pwin_handle owner, const char *text, const char *caption, int style) {
  const char *t = text ? text : "", *c = caption ? caption : "Error";
  switch (style & 0x0f) {
    case PWIN_MB_YESNO: return ask(owner, t, c, {{"&Yes", PWIN_IDYES}, {"&No", PWIN_IDNO}});
    case PWIN_MB_OKCANCEL: return ask(owner, t, c, {{"OK", PWIN_IDOK}, {"Cancel", PWIN_IDCANCEL}});
    default: return ask(owner, t, c, {{"OK", PWIN_IDOK}});
  }
}

// A box that stays up while the program works on, with the text and Cancel.
pwin_handle notice(pwin_handle owner, const char *text) {
  Fl_Group::current(nullptr);
  Fl_Window *box = new Fl_Window(240, 100);
  box->copy_label(text ? text : "");
  Fl_Box *say = new Fl_Box(10, 10, 220, 30);
  say->copy_label(text ? text : "");
  Fl_Button *cancel = new Fl_Button(80, 55, 80, 30, "Cancel");
  cancel->callback([](Fl_Widget *w, void *) { w->window()->hide(); });
  box->end();
  box->set_non_modal();
  over(box, owner);
  box->show();
  pwin_handle id = next_handle++;
  notices[id] = box;
  return id;
}

bool notice_cancelled(pwin_handle n) {
  auto it = notices.find(n);
  return it != notices.end() && !it->second->shown();
}

void kill_notice(pwin_handle n) {
  auto it = notices.find(n);
  if (it == notices.end()) return;
  delete it->second;
  notices.erase(it);
}

void beep(int kind) {
  static const int kinds[] = {FL_BEEP_DEFAULT, FL_BEEP_MESSAGE, FL_BEEP_NOTIFICATION, FL_BEEP_ERROR, FL_BEEP_DEFAULT};
  fl_beep(kinds[(kind >= 0 && kind <= 4) ? kind : 0]);
}

}  // namespace pwin_fltk
