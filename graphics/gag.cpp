// gag, headless: directories come from the operating system, message boxes and
// questions go through the platform layer's message box.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "graphics/gag.h"
#include "platform/pwin.h"
#include "runtime/rtlib.h"

static void set_dir(String *dir, std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  strings_copyto_1(dir, s.c_str());
}

void gag_gettempdirectory(String *dir) {
  const char *t = getenv("TMPDIR");
  set_dir(dir, (t && *t) ? t : "/tmp");
}

void gag_getcurrentdirectory(String *dir) {
  char buf[4096];
  set_dir(dir, getcwd(buf, sizeof buf) ? buf : "");
}

int gag_setcurrentdirectory(const String *dir) {
  return (dir->length == 0) ? 0 : chdir(dir->text);
}

void gag_closegraph() {}

uint8_t gag_getopenfilename(uint16_t, const String *, String *) { return 0; }

void gag_showmessage(uint16_t, const String *message, const String *caption) {
  pwin_message_box(message->text, caption->text, PWIN_MB_OK | PWIN_MB_STOP);
}

int16_t gag_yesnomessage(uint16_t, const String *message, const String *caption) {
  return pwin_message_box(message->text, caption->text, PWIN_MB_YESNO | PWIN_MB_QUESTION) ==
         PWIN_IDYES;
}

void gag_killview(uint16_t) {}
void gag_showwindow(uint16_t, int) {}
void gag_asksize(uint16_t, float *size) { *size = 0; }
void gag_textsize(uint16_t, float, float) {}

int gag_init() {
  TRACE("gag");
  return 0;
}
