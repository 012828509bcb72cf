// display: the status panel of a problem window: numbered lines, each a label with
// an optional value. The headless panel keeps its lines in the record.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

int display_init();

enum { DISPLAY_MAX_LINES = 32 };

struct pad {
  uint32_t view;      // the view the panel draws in
  uint8_t *key;       // the stop-request byte of the panel's problem
  uint16_t last;      // the highest line written so far (0 none)
  uint16_t lines;     // lines the panel holds (0: not sized, DISPLAY_MAX_LINES)
  float height;
  String labels[DISPLAY_MAX_LINES];
  String values[DISPLAY_MAX_LINES];
};

void display_initpad(pad *d, uint16_t lines, uint32_t view);
// Clears the panel from the line down (0 means 1).
void display_clearpad(pad *d, uint16_t line);
// Writes the label on the line (0: the next free line); returns the line used.
uint16_t display_report(pad *d, uint16_t line, const String *label);
uint16_t display_report_str(pad *d, uint16_t line, const String *label, const String *value);
uint16_t display_report_num(pad *d, uint16_t line, const String *label, int32_t value);
uint16_t display_report_real(pad *d, uint16_t line, const String *label, double value);
// Label, then "a,b".
uint16_t display_report_num2(pad *d, uint16_t line, const String *label, int32_t a, int32_t b);
// Changes the value shown on the line at once (line 0: nothing).
void display_force_num(pad *d, uint16_t line, int32_t value);
void display_force_real(pad *d, uint16_t line, double value);
// Changes the value shown on the line (line 0: nothing); the headless panel has no
// one to spare the redrawing for, so every update is shown.
void display_update_num(pad *d, uint16_t line, int32_t value);
void display_update_num2(pad *d, uint16_t line, int32_t a, int32_t b);
void display_update_real(pad *d, uint16_t line, double value);
// Pumps the window messages, then returns the stop-request byte (0 without a key).
uint8_t display_checkkey(pad *d);
// Waits for a key press or a click (debug pauses); headless, it returns at once.
void display_waitkey(uint8_t flag);
// Removes the line and every line below it; the next report goes to that line.
void display_unreport(pad *d, uint16_t line);
// Pumps the messages until ms milliseconds have passed.
void display_delay(uint16_t ms);
void display_free(pad *d);
