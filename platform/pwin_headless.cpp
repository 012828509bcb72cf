// pwin, headless back end: message boxes go to standard error, questions take their
// answers from a scripted queue.
#include <cstdio>
#include <deque>

#include "platform/pwin.h"

static std::deque<int> answers;

void pwin_script_answer(int answer) { answers.push_back(answer); }

int pwin_message_box(const char *text, const char *caption, int style) {
  fprintf(stderr, "%s: %s\n", caption ? caption : "Error", text ? text : "");
  fflush(stderr);
  if ((style & 0x0f) == PWIN_MB_YESNO) {
    if (answers.empty()) return PWIN_IDNO;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  return PWIN_IDOK;
}
