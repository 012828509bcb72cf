// libFuzzer target of the stroke-font library reader: the bytes are the library
// file. Font 4 is selected from it as the primary font and font 5 as the alternate,
// and text with every kind of character is measured and drawn. Whatever the bytes,
// the reader must take the font, fall back to font 1, or stop with its fatal
// message; drawing must never read outside an image.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "graphics/gag.h"
#include "platform/pwin.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"

static uint16_t window;
static int fd;
static std::string path;

static int32_t ignore(uint16_t, int16_t, intptr_t, intptr_t) { return 0; }

static String text(const char *c) { return {uint16_t(strlen(c)), 0, const_cast<char *>(c)}; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  rtlib_fpu_default();
  pwin_set_log(fopen("/dev/null", "w"));
  gag_init();
  String name = text("plot");
  uint16_t cls = gag_newwindowclass_0(ignore, &name);
  window = gag_newwindow_2(0, cls, 600, 450, &name, 1);
  fd = memfd_create("gsf", 0);
  if (fd < 0) abort();
  path = "/proc/self/fd/" + std::to_string(fd);
  rtlib_set_log_file(fopen("/dev/null", "w"));
  if (!freopen("/dev/null", "w", stdout)) abort();  // the fatal path's own lines
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) abort();
  gag_fontlibrary(path.c_str());
  rtlib_set_uncle_hook(except_uncle);
  rtlib_latch_rearm();
  int code = except_catch("fuzz", [] {
    gag_textfont(window, 4);
    gag_altfont(window, 5);
    static char all[256];
    for (int c = 1; c < 256; c++) all[c - 1] = char(c);
    String s = {255, 0, all};
    gag_textcenter(window, 0.5, -1);
    gag_drawtext_1(window, 0.5, 0.5, &s);
    gag_textuniform_0(window, '?');
    gag_drawtext_1(window, 0.5, 0.5, &s);
    gag_textuniform_0(window, 0);
    pointd p[3] = {{0.1, 0.1}, {0.9, 0.1}, {0.1, 0.3}};
    gag_textfit_1(window, p, &s);
  });
  if (code != 0 && code != EXCEPT_FATAL) abort();
  if (code == EXCEPT_FATAL) except_catch("fuzz", [] { except_jump(EXCEPT_REPORTED); });
  rtlib_set_uncle_hook(nullptr);
  rtlib_latch_rearm();
  rtlib_unwinding = 0;
  return 0;
}
