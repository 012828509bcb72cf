// The graphics tests' fixture: one drawing class and one edit class whose callbacks
// keep every event, windows of a given client size on the headless desktop, the
// stream and display-list entries of a view, and the layer closed after every test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "platform/psurf.h"
#include "platform/pwin.h"
#include "platform/pwin_menu.h"
#include "runtime/filio.h"
#include "tests/tempfiles.h"

struct Event {
  uint16_t view;
  int16_t event;
  intptr_t a, b;
  bool operator==(const Event &) const = default;
};

inline std::vector<Event> events;
inline int32_t keep_events(uint16_t view, int16_t event, intptr_t a, intptr_t b) {
  events.push_back({view, event, a, b});
  return 0;
}

inline String text(const char *c) { return {uint16_t(strlen(c)), 0, const_cast<char *>(c)}; }

inline uint16_t drawing_class(uint32_t style = 0) {
  String name = text("drawing");
  return gag_newwindowclass_1(keep_events, &name, style);
}

// A dialog with an edit field (101), a static text (102), a check box (103), a Read
// button (104) and a Done button (105). Its callback sets the three items when the box
// opens; Read and Done note what the items hold ("42 mesh 1" until changed), Done ends
// the box with 7 and Cancel with 2. The notes and the commands in order.
inline std::vector<std::string> dialog_notes;
inline void define_test_dialog() {
  pwin_dialog_define("TestDlg", {"Test dialog", 240, 130,
                                 {{101, PWIN_DLG_EDIT, "", 10, 10, 100, 25},
                                  {102, PWIN_DLG_TEXT, "", 120, 10, 110, 25},
                                  {103, PWIN_DLG_CHECK, "Refine", 10, 45, 100, 25},
                                  {104, PWIN_DLG_BUTTON, "Read", 10, 90, 100, 30},
                                  {105, PWIN_DLG_BUTTON, "Done", 130, 90, 100, 30}}});
}
inline int32_t test_dialog(int32_t command, int32_t, uint32_t d) {
  dialog_notes.push_back(std::to_string(command));
  if (command == 1) {
    String mesh = text("mesh");
    gagscren_screensetdialogitem_0(d, 101, 42);
    gagscren_screensetdialogitem_1(d, 102, &mesh);
    gagscren_screensetdialogbutton(d, 103, 1);
  } else if (command == 104 || command == 105) {
    std::string note;
    for (uint16_t item : {101, 102, 103}) {
      String t{};
      gagscren_screengetdialogitem(d, item, &t);
      note += (note.empty() ? "" : " ") + std::string(t.text ? t.text : "", t.length);
      strings_free_0(&t);
    }
    dialog_notes.push_back(note);
    if (command == 105) gagscren_screenenddialog(d, 7);
  } else if (command == 2) {
    gagscren_screenenddialog(d, 2);
  }
  return 1;
}

struct Graphics : ::testing::Test {
  FILE *boxes = tmpfile();  // the message boxes of the headless back end
  TempDir dir;
  static inline uint16_t cls = 0;

  void SetUp() override {
    gag_init();
    gagscren_reset_output();
    if (!cls) cls = drawing_class();
    events.clear();
    pwin_set_log(boxes);
  }
  void TearDown() override {
    gag_closegraph();
    pwin_set_log(nullptr);
    fclose(boxes);
  }
  // A window whose client area is w x h (the frame adds 50 rows).
  uint16_t window(int32_t w, int32_t h, uint8_t norecord = 0, int show = 3) {
    String caption = text("plot");
    return gag_newwindow_1(0, cls, 0, 0, uint16_t(w), uint16_t(h + 50), &caption, norecord, show);
  }
  viewrec *rec(uint16_t n) { return gag_views[n - 1]; }
  // The display-list entries of a view in order: all of them, or those of one opcode.
  std::vector<const glop *> entries(uint16_t view, int64_t opcode = -1) {
    std::vector<const glop *> out;
    for (const glblock *b = rec(view)->displaylist; b; b = b->next)
      for (uint32_t i = 0; i < b->count; i++)
        if (opcode < 0 || b->entries[i].opcode == opcode) out.push_back(&b->entries[i]);
    return out;
  }
  std::string boxes_text() {
    fflush(boxes);
    rewind(boxes);
    return slurp_stream(boxes);
  }
  static void release(IOfile *f) {
    strings_free_0(&f->name);
    strings_free_0(&f->temp);
  }
  // The view stream of a view.
  std::string stream(uint16_t view) {
    std::string path = dir.file("view.bin");
    IOfile f{};
    filio_initialize(&f);
    filio_open_put(&f, 4096, path.c_str());
    gag_writeview(&f, view);
    filio_close_put(&f);
    release(&f);
    return slurp(path);
  }
  // Reads bytes into a view, times over from one file; true when every read is.
  bool read(uint16_t view, const std::string &bytes, int times = 1) {
    std::string path = dir.file("in.bin");
    spit(path, bytes);
    IOfile f{};
    filio_initialize(&f);
    String name = text(path.c_str());
    filio_open_get(&f, 4096, &name);
    bool ok = true;
    for (int k = 0; k < times; k++) ok = gag_readview(&f, view) && ok;
    filio_close_get(&f);
    release(&f);
    return ok;
  }
  // The calls a view's replay makes on a recording surface.
  std::vector<psurf_call> replayed(uint16_t view, uint8_t black = 0) {
    psurf *s = psurf_headless_new(600, 400);
    psurf_headless_record(s, true);
    replay(view, s, 0, black);
    std::vector<psurf_call> calls = psurf_headless_calls(s);
    psurf_headless_free(&s);
    return calls;
  }
};

inline std::string hex(const std::string &bytes) {
  static const char *d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {d[c >> 4], d[c & 15]};
  return out;
}

// The hex of bytes packed by python3's struct module from a pack expression.
inline std::string python_pack(const std::string &expr) {
  return run("python3 -c \"import struct; print((" + expr + ").hex())\"");
}
