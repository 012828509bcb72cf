// The status panel double: every entry of graphics/display.h. Reports and updates keep
// their value by line; nothing is drawn and no window message is pumped.
#include "tests/solver/panel_double.h"

#include <map>

#include "graphics/display.h"

static std::map<uint16_t, double> panel_double_values;
static uint16_t panel_double_put(pad *d, uint16_t line, double v) {
  uint16_t n = line ? line : ++d->last;
  panel_double_values[n] = v;
  return n;
}
static int32_t panel_double_clock() { return 0; }

double panel_double_value(uint16_t line) {
  auto it = panel_double_values.find(line);
  return it == panel_double_values.end() ? 0.0 : it->second;
}

uint8_t display_textcolour = 7;
pad *display_currentpad = nullptr;
int32_t (*display_clock)() = panel_double_clock;

int display_init() { return 1; }
void display_initpad(pad *d, uint16_t lines, uint32_t view) {
  d->view = view;
  d->lines = lines;
  d->height = lines;
  d->last = 0;
}
uint16_t display_report(pad *d, uint16_t line, const String *) { return panel_double_put(d, line, 0); }
uint16_t display_report_str(pad *d, uint16_t line, const String *, const String *) {
  return panel_double_put(d, line, 0);
}
uint16_t display_report_num(pad *d, uint16_t line, const String *, int32_t v) { return panel_double_put(d, line, v); }
uint16_t display_report_num2(pad *d, uint16_t line, const String *, int32_t a, int32_t) {
  return panel_double_put(d, line, a);
}
uint16_t display_report_real(pad *d, uint16_t line, const String *, double v) { return panel_double_put(d, line, v); }
void display_update_str(pad *d, uint16_t line, const String *) { panel_double_put(d, line, 0); }
void display_update_num(pad *d, uint16_t line, int32_t v) { panel_double_put(d, line, v); }
void display_update_num2(pad *d, uint16_t line, int32_t a, int32_t) { panel_double_put(d, line, a); }
void display_update_real(pad *d, uint16_t line, double v) { panel_double_put(d, line, v); }
void display_force_str(pad *d, uint16_t line, const String *) { panel_double_put(d, line, 0); }
void display_force_num(pad *d, uint16_t line, int32_t v) { panel_double_put(d, line, v); }
void display_force_num2(pad *d, uint16_t line, int32_t a, int32_t) { panel_double_put(d, line, a); }
void display_force_real(pad *d, uint16_t line, double v) { panel_double_put(d, line, v); }
void display_unreport(pad *d, uint16_t line) { d->last = line ? line - 1 : 0; }
void display_clearpad(pad *d, uint16_t line) { display_unreport(d, line); }
void display_redisplay(pad *) {}
uint8_t display_checkkey(pad *d) { return d->key ? *d->key : 0; }
void display_waitkey(uint16_t) {}
void display_delay(uint16_t) {}
void display_free(pad *d) { d->last = 0; }
