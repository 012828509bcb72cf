// display: the status panel. Each line keeps its label, its value and the clock of
// its last display; drawing overdraws the old text in colour 0 (the panel's
// background) before the new text goes down in the panel text colour. Text goes
// through the layer's choice of stroke or device text, one line high either way.
#include "graphics/display.h"

#include <utility>

#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "platform/pwin.h"
#include "runtime/rtlib.h"

uint8_t display_textcolour = 7;
pad *display_currentpad;
static int32_t system_clock() { return rtlib_elapsed_ms(0); }
int32_t (*display_clock)() = system_clock;

// Values are composed in scratch Strings kept for the program's life, so that the
// updates from inner loops allocate nothing once the texts have their size.
static String scratch_a, scratch_b, scratch_c;

enum { THROTTLE_MS = 500 };

static bool drawable(const pad *d) { return d->view != 0 && d->view <= 0xffff && checkview(uint16_t(d->view)); }

// The line an operation works on; 0 when it is refused by the throttle.
static uint16_t next_line(pad *d, uint16_t line, bool forced) {
  if (d->lines == 0) return 0;
  uint16_t n;
  if (line != 0) {
    n = line < d->lines ? line : d->lines;
    if (n > d->last) d->last = n;
  } else {
    n = d->last + 1 < d->lines ? uint16_t(d->last + 1) : d->lines;
    d->last = n;
  }
  if (!forced && display_clock() - d->times.data[n - 1] < THROTTLE_MS) return 0;
  display_currentpad = d;
  return n;
}

// The text size (lines per view height) at which a label fits left of the value
// column: the panel's own size, or smaller for a label that would otherwise run
// into the values ("Building Matrix "). The value column is held to the width of the
// widest value shown, six digits ("MEM(K)" and counts up to 999999; two block numbers
// "00,00" are narrower), and a character's gap; the size depends on the label alone,
// so an old label is overdrawn at the size it was drawn.
static float label_size(pad *d, const String *label) {
  float size = float(d->lines);
  viewrec *v = getview(uint16_t(d->view));
  if (!label->length || !v->device || v->client.x <= 0) return size;
  pointl own{}, widest{};
  String column = {6, 6, const_cast<char *>("000000")};
  gagscren_screentextextent(v, label, &own);
  gagscren_screentextextent(v, &column, &widest);
  double gap = own.x / double(label->length);
  double room = 0.8 * v->client.x - widest.x - gap;
  if (own.x <= room) return size;
  return room > 0.4 * own.x ? float(size * own.x / room) : size / 0.4f;
}

// Overdraws old in colour 0, then draws text at x with the horizontal alignment;
// labels (left-aligned) at the size that keeps them clear of the values.
static void draw_pair(pad *d, uint16_t n, float align, double x, const String *old, const String *text) {
  if (!drawable(d)) return;
  uint16_t v = uint16_t(d->view);
  double y = d->height - n + 0.1;
  gag_textcenter(v, align, 0);
  for (auto [t, colour] : {std::pair{old, uint8_t(0)}, {text, display_textcolour}}) {
    if (!t->length) continue;
    bool label = align == 0;
    if (label) gag_textsize(v, label_size(d, t), 0.7f);
    gag_setcolor_0(v, colour);
    gag_drawprinttext_1(v, x, y, t);
    if (label) gag_textsize(v, float(d->lines), 0.7f);
  }
  gagscren_screenflush();
}

static void write_label(pad *d, uint16_t n, const String *label) {
  String *stored = &d->labels.items[n - 1];
  String old{};
  strings_copyto_0(&old, stored);
  strings_copyto_0(stored, label);
  draw_pair(d, n, 0, 0.1, &old, stored);
  strings_free_0(&old);
  d->values.items[n - 1].length = 0;
  if (d->values.items[n - 1].text) d->values.items[n - 1].text[0] = 0;
  d->times.data[n - 1] = display_clock();
}

static void show_value(pad *d, uint16_t n, const String *value) {
  String *stored = &d->values.items[n - 1];
  strings_copyto_0(&scratch_c, stored);
  strings_copyto_0(stored, value);
  draw_pair(d, n, 1, 0.9, &scratch_c, stored);
  d->times.data[n - 1] = display_clock();
}

void display_initpad(pad *d, uint16_t lines, uint32_t view) {
  TRACE("display_initpad");
  strings_resize_1(&d->labels, lines, lines);
  strings_resize_1(&d->values, lines, lines);
  vectorl_resize(&d->times, lines, lines);
  // A line never shown counts as shown long ago, so its first update is drawn.
  for (int32_t k = 0; k < lines; k++) d->times.data[k] = display_clock() - 10 * THROTTLE_MS;
  d->lines = lines;
  d->view = view;
  d->last = 0;
  d->height = lines;
  if (drawable(d)) {
    uint16_t v = uint16_t(view);
    gag_scaleview_1(v, 0, 0, 1, lines);
    gag_textfont(v, 1);
    gag_textsize(v, float(lines), 0.7f);
  }
}

uint16_t display_report(pad *d, uint16_t line, const String *label) {
  uint16_t n = next_line(d, line, true);
  if (n) write_label(d, n, label);
  return n;
}

uint16_t display_report_str(pad *d, uint16_t line, const String *label, const String *value) {
  uint16_t n = display_report(d, line, label);
  if (n) show_value(d, n, value);
  return n;
}

static const String *num_text(int32_t value) {
  strings_itos_1(&scratch_a, value, 1);
  return &scratch_a;
}

static const String *num2_text(int32_t a, int32_t b) {
  strings_itos_1(&scratch_a, a, 1);
  strings_itos_1(&scratch_b, b, 1);
  strings_addto_1(&scratch_a, ",");
  strings_addto_0(&scratch_a, &scratch_b);
  return &scratch_a;
}

// Five places; a mantissa of one digit drops its bare point ("3e-4", not "3.e-4").
static const String *real_text(double value) {
  strings_formatreal(&scratch_a, value, 5, 0, 0);
  for (int32_t i = 1; i + 1 < scratch_a.length; i++)
    if (scratch_a.text[i] == '.' && (scratch_a.text[i + 1] == 'e' || scratch_a.text[i + 1] == 'E')) {
      strings_delete_0(&scratch_a, uint16_t(i + 1), 1);
      break;
    }
  return &scratch_a;
}

uint16_t display_report_num(pad *d, uint16_t line, const String *label, int32_t value) {
  return display_report_str(d, line, label, num_text(value));
}

uint16_t display_report_num2(pad *d, uint16_t line, const String *label, int32_t a, int32_t b) {
  return display_report_str(d, line, label, num2_text(a, b));
}

uint16_t display_report_real(pad *d, uint16_t line, const String *label, double value) {
  return display_report_str(d, line, label, real_text(value));
}

// Updates (forced false) and forces of a value; line 0 never appends.
static void change(pad *d, uint16_t line, bool forced, const String *value) {
  if (line == 0) return;
  uint16_t n = next_line(d, line, forced);
  if (n) show_value(d, n, value);
}

// The throttled forms read the clock before composing, so a refused update costs
// one clock read.
static bool due(const pad *d, uint16_t line) {
  if (line == 0 || d->lines == 0) return false;
  uint16_t n = line < d->lines ? line : d->lines;
  return display_clock() - d->times.data[n - 1] >= THROTTLE_MS;
}

static void raise_last(pad *d, uint16_t line) {
  if (line == 0 || d->lines == 0) return;
  uint16_t n = line < d->lines ? line : d->lines;
  if (n > d->last) d->last = n;
}

void display_update_str(pad *d, uint16_t line, const String *value) {
  if (due(d, line)) change(d, line, false, value);
  else raise_last(d, line);
}
void display_update_num(pad *d, uint16_t line, int32_t value) {
  if (due(d, line)) change(d, line, false, num_text(value));
  else raise_last(d, line);
}
void display_update_num2(pad *d, uint16_t line, int32_t a, int32_t b) {
  if (due(d, line)) change(d, line, false, num2_text(a, b));
  else raise_last(d, line);
}
void display_update_real(pad *d, uint16_t line, double value) {
  if (due(d, line)) change(d, line, false, real_text(value));
  else raise_last(d, line);
}
void display_force_str(pad *d, uint16_t line, const String *value) { change(d, line, true, value); }
void display_force_num(pad *d, uint16_t line, int32_t value) { change(d, line, true, num_text(value)); }
void display_force_num2(pad *d, uint16_t line, int32_t a, int32_t b) {
  change(d, line, true, num2_text(a, b));
}
void display_force_real(pad *d, uint16_t line, double value) { change(d, line, true, real_text(value)); }

void display_unreport(pad *d, uint16_t line) {
  uint16_t k = line < 1 ? 1 : line;
  if (drawable(d) && d->last >= k) {
    uint16_t v = uint16_t(d->view);
    gag_setcolor_0(v, 0);
    rectd r = {0, d->height - d->last - 0.5, 1, d->height - k + 1};
    gag_fillrect(v, &r);
    gagscren_screenflush();
  }
  d->last = uint16_t(k - 1);
  // Status lines are taken down from destructors: an interrupt waits for the next
  // dispatch, where leaving by an error is safe.
  gagscren_pump();
}

void display_clearpad(pad *d, uint16_t line) { display_unreport(d, line); }

void display_redisplay(pad *d) {
  TRACE("display_redisplay");
  String none{};
  for (uint16_t n = 1; n <= d->last && n <= d->lines; n++) {
    draw_pair(d, n, 0, 0.1, &none, &d->labels.items[n - 1]);
    if (d->values.items[n - 1].length) draw_pair(d, n, 1, 0.9, &none, &d->values.items[n - 1]);
  }
}

uint8_t display_checkkey(pad *d) {
  gagscren_dispatch(0);
  return d->key ? *d->key : 0;
}

void display_waitkey(uint16_t view) {
  gagscren_dispatch(0);
  if (checkview(view)) gagscren_screenmessage(gag_views[view - 1], "OK to continue?", "PAUSE");
  else pwin_message_box("OK to continue?", "PAUSE", PWIN_MB_OK);
}

void display_delay(uint16_t ms) {
  int32_t start = display_clock();
  do gagscren_dispatch(0);
  while (display_clock() - start < ms);
}

void display_free(pad *d) {
  strings_free_1(&d->labels, 1);
  strings_free_1(&d->values, 1);
  vectorl_free(&d->times);
  d->last = d->lines = 0;
  if (display_currentpad == d) display_currentpad = nullptr;
}

int display_init() {
  TRACE("display");
  return 0;
}
