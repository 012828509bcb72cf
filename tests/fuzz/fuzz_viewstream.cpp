// libFuzzer target of the view-stream reader: the bytes are read into a plot window
// with a frame view and a legend view, replayed, written, and read back. Whatever
// the bytes, the reader must stop cleanly, replay must not trap, and what the
// writer makes of the result must read back and write again unchanged.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "graphics/gag.h"
#include "platform/pwin.h"
#include "runtime/filio.h"
#include "runtime/rtlib.h"

static uint16_t window;
static int in_fd, out_fd;
static std::string in_path, out_path;

static int32_t ignore(uint16_t, int16_t, intptr_t, intptr_t) { return 0; }

static String text(const char *c) { return {uint16_t(strlen(c)), 0, const_cast<char *>(c)}; }

static std::string memfile(const char *name, int *fd) {
  *fd = memfd_create(name, 0);
  if (*fd < 0) abort();
  return "/proc/self/fd/" + std::to_string(*fd);
}

static bool read_from(const std::string &path) {
  IOfile f{};
  filio_initialize(&f);
  String name = text(path.c_str());
  if (!filio_open_get(&f, 1024, &name)) abort();
  bool ok = gag_readview(&f, window);
  filio_close_get(&f);
  strings_free_0(&f.name);
  return ok;
}

static std::string write_to(const std::string &path, int fd) {
  IOfile f{};
  filio_initialize(&f);
  filio_open_put(&f, 1024, path.c_str());
  gag_writeview(&f, window);
  filio_close_put(&f);
  strings_free_0(&f.name);
  std::string bytes(size_t(lseek(fd, 0, SEEK_END)), '\0');
  if (pread(fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) abort();
  return bytes;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  rtlib_fpu_default();  // a division by zero or an overflow traps: a finding
  pwin_set_log(fopen("/dev/null", "w"));
  gag_init();
  String name = text("plot");
  uint16_t cls = gag_newwindowclass_0(ignore, &name);
  window = gag_newwindow_2(0, cls, 600, 450, &name, 0);
  gag_newview_1(window, 0.1, 0.1, 1.1, 0.9, 0);   // the frame
  gag_newview_1(window, 1.15, 0.1, 1.45, 0.9, 0);  // the legend
  in_path = memfile("in", &in_fd);
  out_path = memfile("out", &out_fd);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (ftruncate(in_fd, 0) != 0 || pwrite(in_fd, data, size, 0) != ssize_t(size)) abort();
  gag_forget(window);
  read_from(in_path);
  gag_replay(window);
  std::string once = write_to(out_path, out_fd);
  gag_forget(window);
  if (!read_from(out_path)) abort();
  gag_replay(window);
  if (write_to(out_path, out_fd) != once) abort();
  return 0;
}
