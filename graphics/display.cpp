// display, headless: the panel keeps its labels and values; nothing is drawn.
#include "graphics/display.h"

#include <chrono>

#include "graphics/gagscren.h"
#include "runtime/rtlib.h"

static uint16_t capacity(const pad *d) {
  return (d->lines == 0 || d->lines > DISPLAY_MAX_LINES) ? uint16_t(DISPLAY_MAX_LINES) : d->lines;
}

// The line a report goes to: the given one clipped to the panel, or the next free one.
static uint16_t next_line(pad *d, uint16_t line) {
  uint16_t n;
  if (line != 0) {
    n = line < capacity(d) ? line : capacity(d);
    if (n > d->last) d->last = n;
  } else {
    n = (d->last + 1 < capacity(d)) ? d->last + 1 : capacity(d);
    d->last = n;
  }
  return n;
}

static void set_value(pad *d, uint16_t n, const char *text) {
  if (n >= 1 && n <= capacity(d)) strings_copyto_1(&d->values[n - 1], text);
}

void display_initpad(pad *d, uint16_t lines, uint32_t view) {
  d->lines = lines;
  d->view = view;
  d->last = 0;
  d->height = lines;
}

void display_unreport(pad *d, uint16_t line) {
  uint16_t k = line < 1 ? 1 : line;
  d->last = k - 1;
}

void display_clearpad(pad *d, uint16_t line) { display_unreport(d, line); }

uint16_t display_report(pad *d, uint16_t line, const String *label) {
  uint16_t n = next_line(d, line);
  strings_copyto_1(&d->labels[n - 1], label->text ? label->text : "");
  set_value(d, n, "");
  return n;
}

uint16_t display_report_str(pad *d, uint16_t line, const String *label, const String *value) {
  uint16_t n = display_report(d, line, label);
  set_value(d, n, value->text ? value->text : "");
  return n;
}

uint16_t display_report_num(pad *d, uint16_t line, const String *label, int32_t value) {
  uint16_t n = display_report(d, line, label);
  display_force_num(d, n, value);
  return n;
}

uint16_t display_report_real(pad *d, uint16_t line, const String *label, double value) {
  uint16_t n = display_report(d, line, label);
  String v{};
  strings_formatreal(&v, value, 6, 0, 0);
  set_value(d, n, v.text);
  strings_free_0(&v);
  return n;
}

// Values are composed in two scratch Strings kept for the program's life, so that
// the updates from inner loops allocate nothing once the texts have their size.
static String compose_a, compose_b;

void display_force_num(pad *d, uint16_t line, int32_t value) {
  if (line == 0) return;
  strings_itos_1(&compose_a, value, 1);
  set_value(d, line < capacity(d) ? line : capacity(d), compose_a.text);
}

void display_force_real(pad *d, uint16_t line, double value) {
  if (line == 0) return;
  strings_formatreal(&compose_a, value, 6, 0, 0);
  set_value(d, line < capacity(d) ? line : capacity(d), compose_a.text);
}

static void force_num2(pad *d, uint16_t line, int32_t a, int32_t b) {
  if (line == 0) return;
  strings_itos_1(&compose_a, a, 1);
  strings_itos_1(&compose_b, b, 1);
  strings_addto_1(&compose_a, ",");
  strings_addto_0(&compose_a, &compose_b);
  set_value(d, line < capacity(d) ? line : capacity(d), compose_a.text);
}

uint16_t display_report_num2(pad *d, uint16_t line, const String *label, int32_t a, int32_t b) {
  uint16_t n = display_report(d, line, label);
  force_num2(d, n, a, b);
  return n;
}

void display_update_num(pad *d, uint16_t line, int32_t value) { display_force_num(d, line, value); }
void display_update_num2(pad *d, uint16_t line, int32_t a, int32_t b) { force_num2(d, line, a, b); }
void display_update_real(pad *d, uint16_t line, double value) { display_force_real(d, line, value); }

uint8_t display_checkkey(pad *d) {
  gagscren_dispatch(0);
  return d->key ? *d->key : 0;
}

void display_waitkey(uint8_t) {}

void display_delay(uint16_t ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do gagscren_dispatch(0);
  while (std::chrono::steady_clock::now() < end);
}

void display_free(pad *d) {
  for (int k = 0; k < DISPLAY_MAX_LINES; k++) {
    strings_free_0(&d->labels[k]);
    strings_free_0(&d->values[k]);
  }
  d->last = 0;
}

int display_init() {
  TRACE("display");
  return 0;
}
