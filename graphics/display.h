// display: the status panel of a problem window (and of a viewer window): numbered
// lines, each a label on the left and an optional value on the right, drawn with
// the stroke font in a nested view, value updates throttled to two a second per line.
// The panel also carries the user's stop: display_checkkey pumps the window
// messages, then answers the problem's stop-request byte.
#pragma once
#include <cstdint>

#include "runtime/strings.h"
#include "runtime/vectorl.h"

int display_init();

struct pad {
  uint32_t view;       // the nested view the panel draws in (0: nothing is drawn)
  uint8_t *key;        // the stop-request byte of the panel's problem (null: none)
  uint16_t last;       // the highest line written so far (0 none)
  uint16_t lines;      // lines the panel holds
  float height;        // = lines: the panel's user height
  vectorl times;       // per line the clock (ms) of its last display
  StringList labels;   // per line its label
  StringList values;   // per line its value; empty: none shown
};

// The panel text colour (7 until start-up sets the colour of colour_black), the pad
// used last, and the clock the throttle reads (milliseconds; tests replace it).
extern uint8_t display_textcolour;
extern pad *display_currentpad;
extern int32_t (*display_clock)();

// Sizes the panel to lines lines in the view: user window (0, 0)-(1, lines), stroke
// font 1, text size lines per view height at aspect 0.7; last := 0.
void display_initpad(pad *d, uint16_t lines, uint32_t view);
// Line 0 means the line after the last written; other lines are clipped to the
// panel. Reports write the label (clearing the value) and return the line used.
uint16_t display_report(pad *d, uint16_t line, const String *label);
uint16_t display_report_str(pad *d, uint16_t line, const String *label, const String *value);
uint16_t display_report_num(pad *d, uint16_t line, const String *label, int32_t value);
// Label, then "a,b".
uint16_t display_report_num2(pad *d, uint16_t line, const String *label, int32_t a, int32_t b);
// Label, then the real with 5 significant digits.
uint16_t display_report_real(pad *d, uint16_t line, const String *label, double value);
// Updates show the value when the line was last shown at least 500 ms ago; forces
// always. Line 0 does nothing.
void display_update_str(pad *d, uint16_t line, const String *value);
void display_update_num(pad *d, uint16_t line, int32_t value);
void display_update_num2(pad *d, uint16_t line, int32_t a, int32_t b);
void display_update_real(pad *d, uint16_t line, double value);
void display_force_str(pad *d, uint16_t line, const String *value);
void display_force_num(pad *d, uint16_t line, int32_t value);
void display_force_num2(pad *d, uint16_t line, int32_t a, int32_t b);
void display_force_real(pad *d, uint16_t line, double value);
// Erases the lines from line (0 means 1) to the last written; last := line - 1;
// pumps the messages. clearpad is the same.
void display_unreport(pad *d, uint16_t line);
void display_clearpad(pad *d, uint16_t line);
// Draws lines 1..last again (on repaint).
void display_redisplay(pad *d);
// Pumps the window messages, then returns the stop-request byte (0 without a key).
uint8_t display_checkkey(pad *d);
// Pumps, then asks "OK to continue?" titled "PAUSE" over the view.
void display_waitkey(uint16_t view);
// Pumps the messages until ms milliseconds have passed.
void display_delay(uint16_t ms);
void display_free(pad *d);
