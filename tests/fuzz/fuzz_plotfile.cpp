// libFuzzer target of the plot-file viewer: the bytes are opened as a plot file by a
// viewer on the headless platform, stepped with Next to the last group and with
// Previous back to group 1, then the viewer is closed. Whatever the bytes, every
// step must end cleanly.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "graphics/gag.h"
#include "app/views.h"
#include "platform/pwin.h"
#include "runtime/rtlib.h"

static int in_fd;
static std::string in_path;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  rtlib_fpu_default();  // a division by zero or an overflow traps: a finding
  pwin_set_log(fopen("/dev/null", "w"));
  gag_init();
  views_delay = [](uint16_t) {};
  in_fd = memfd_create("plotfile", 0);
  if (in_fd < 0) abort();
  in_path = "/proc/self/fd/" + std::to_string(in_fd);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (ftruncate(in_fd, 0) != 0 || pwrite(in_fd, data, size, 0) != ssize_t(size)) abort();
  String path = {uint16_t(in_path.size()), 0, in_path.data()};
  views_view_pde(&path);
  viewer *v = nullptr;
  for (int32_t k = 1; k <= views_record_count(); k++)
    if (views_record(k)->window) v = views_record(k);
  if (!v) return 0;
  for (uint16_t last = 0; v->current != last;) {
    last = v->current;
    window_func(v->window, msg_menu, VIEWS_NEXT, 0);
  }
  while (v->current > 1) {
    uint16_t before = v->current;
    window_func(v->window, msg_menu, VIEWS_PREVIOUS, 0);
    if (v->current >= before) abort();
  }
  window_func(v->window, msg_close, 0, 0);
  if (v->window) abort();
  return 0;
}
