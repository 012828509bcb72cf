// pwin: the window service the code above the platform layer calls: message boxes
// and questions. This header is the one interface; the headless back end serves
// batch runs and tests.
#pragma once

enum {
  PWIN_MB_OK = 0x00,
  PWIN_MB_YESNO = 0x04,
  PWIN_MB_STOP = 0x10,
  PWIN_MB_QUESTION = 0x20,
  PWIN_MB_EXCLAMATION = 0x30,
  PWIN_MB_INFORMATION = 0x40,
};
enum { PWIN_IDOK = 1, PWIN_IDYES = 6, PWIN_IDNO = 7 };

// Shows a modal message box; a null caption is the system's default ("Error").
// Headless: the caption and text go to standard error and the answer comes from
// the scripted queue (No when it is empty) for a yes/no box, OK otherwise.
int pwin_message_box(const char *text, const char *caption, int style);

// Queues an answer for the next yes/no question (headless back end).
void pwin_script_answer(int answer);
