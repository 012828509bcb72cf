// Test doubles of the graphics seams run control calls: message boxes, questions,
// directories, the editor, the pens and the status panel, each recording its calls.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "graphics/display.h"
#include "runtime/textin.h"

struct Shown {
  uint16_t view;
  std::string message, caption;
};
struct EditCall {
  uint16_t text, view;
  TextLoc loc;
};

extern std::vector<Shown> shown;          // gag_showmessage and gag_yesnomessage calls
extern std::deque<int16_t> answers;       // answers of gag_yesnomessage (0 when empty)
extern std::string fake_cwd;              // what gag_getcurrentdirectory gives
extern std::vector<std::string> cwd_set;  // gag_setcurrentdirectory calls
extern bool editor_takes;                 // result of textman_send_edit_text_1
extern std::vector<EditCall> edits;
extern std::vector<float> pens;           // width x unit of each gagscren_create_pens
extern std::function<void()> on_report;   // run inside every display report

// The panel's lines 1..last as "label=value".
std::vector<std::string> panel_lines(const pad *d);
void doubles_reset();
