// Test doubles of the graphics seams: each replaces a whole seam module.
#include "tests/control/doubles.h"

#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "graphics/textman.h"

std::vector<Shown> shown;
std::deque<int16_t> answers;
std::string fake_cwd = "/fake/cwd/";
std::vector<std::string> cwd_set;
bool editor_takes = true;
std::vector<EditCall> edits;
std::vector<float> pens;
std::function<void()> on_report;

void doubles_reset() {
  shown.clear();
  answers.clear();
  fake_cwd = "/fake/cwd/";
  cwd_set.clear();
  editor_takes = true;
  edits.clear();
  pens.clear();
  on_report = nullptr;
}

static std::string str(const String *s) { return (s && s->text) ? std::string(s->text, s->length) : ""; }

// gag
void gag_gettempdirectory(String *dir) { strings_copyto_1(dir, "/fake/tmp/"); }
void gag_getcurrentdirectory(String *dir) { strings_copyto_1(dir, fake_cwd.c_str()); }
int gag_setcurrentdirectory(const String *dir) {
  cwd_set.push_back(str(dir));
  return 0;
}
void gag_closegraph() {}
uint8_t gag_getopenfilename(uint16_t, const String *, String *) { return 0; }
void gag_showmessage(uint16_t view, const String *message, const String *caption) {
  shown.push_back({view, str(message), str(caption)});
}
int16_t gag_yesnomessage(uint16_t view, const String *message, const String *caption) {
  shown.push_back({view, str(message), str(caption)});
  if (answers.empty()) return 0;
  int16_t a = answers.front();
  answers.pop_front();
  return a;
}
void gag_killview(uint16_t) {}
void gag_showwindow(uint16_t, int) {}
void gag_asksize(uint16_t, float *size) { *size = 1; }
void gag_textsize(uint16_t, float, float) {}

// textman
uint8_t textman_send_edit_text_1(uint16_t textnum, uint16_t view, const TextLoc *loc) {
  edits.push_back({textnum, view, *loc});
  return editor_takes;
}

// gagscren
void gagscren_dispatch(uint8_t) {}
void gagscren_create_pens(float unit, int32_t width) { pens.push_back(unit * float(width)); }

// display: the panel keeps label and value per line in its own record.
static uint16_t place(pad *d, uint16_t line) {
  uint16_t n = line ? line : uint16_t(d->last + 1);
  if (n > DISPLAY_MAX_LINES) n = DISPLAY_MAX_LINES;
  if (n > d->last) d->last = n;
  return n;
}
void display_initpad(pad *d, uint16_t lines, uint32_t view) {
  d->lines = lines;
  d->view = view;
}
void display_unreport(pad *d, uint16_t line) { d->last = (line < 1 ? 1 : line) - 1; }
void display_clearpad(pad *d, uint16_t line) { display_unreport(d, line); }
uint16_t display_report_str(pad *d, uint16_t line, const String *label, const String *value) {
  if (on_report) on_report();
  uint16_t n = place(d, line);
  strings_copyto_1(&d->labels[n - 1], str(label).c_str());
  strings_copyto_1(&d->values[n - 1], str(value).c_str());
  return n;
}
uint16_t display_report(pad *d, uint16_t line, const String *label) {
  String none{};
  return display_report_str(d, line, label, &none);
}
uint16_t display_report_num(pad *d, uint16_t line, const String *label, int32_t value) {
  uint16_t n = display_report(d, line, label);
  display_force_num(d, n, value);
  return n;
}
uint16_t display_report_real(pad *d, uint16_t line, const String *label, double value) {
  uint16_t n = display_report(d, line, label);
  strings_copyto_1(&d->values[n - 1], ("r" + std::to_string(value)).c_str());
  return n;
}
void display_force_num(pad *d, uint16_t line, int32_t value) {
  if (line) strings_copyto_1(&d->values[line - 1], std::to_string(value).c_str());
}
void display_force_real(pad *d, uint16_t line, double value) {
  if (line) strings_copyto_1(&d->values[line - 1], ("r" + std::to_string(value)).c_str());
}
void display_update_num(pad *d, uint16_t line, int32_t value) { display_force_num(d, line, value); }
void display_update_real(pad *d, uint16_t line, double value) { display_force_real(d, line, value); }
void display_update_num2(pad *d, uint16_t line, int32_t a, int32_t b) {
  if (line) strings_copyto_1(&d->values[line - 1], (std::to_string(a) + "," + std::to_string(b)).c_str());
}
uint16_t display_report_num2(pad *d, uint16_t line, const String *label, int32_t a, int32_t b) {
  uint16_t n = display_report(d, line, label);
  display_update_num2(d, n, a, b);
  return n;
}
uint8_t display_checkkey(pad *d) { return d->key ? *d->key : 0; }
void display_free(pad *d) {
  for (int k = 0; k < DISPLAY_MAX_LINES; k++) {
    strings_free_0(&d->labels[k]);
    strings_free_0(&d->values[k]);
  }
  d->last = 0;
}

std::vector<std::string> panel_lines(const pad *d) {
  std::vector<std::string> out;
  for (int k = 0; k < d->last; k++) out.push_back(str(&d->labels[k]) + "=" + str(&d->values[k]));
  return out;
}

int gag_init() { return 0; }
int textman_init() { return 0; }
int gagscren_init() { return 0; }
int display_init() { return 0; }
