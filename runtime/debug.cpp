// debug: the debug log and its shared writers.
#include "runtime/debug.h"

#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

FILE *debug_file = nullptr;
uint8_t debug_open = 0;
uint8_t debug_output = 0;
static char log_path[1024];

int debug_init() {
  TRACE("debug");
  return 0;
}

// The log lives in a shared temporary directory: it is opened without following a
// symbolic link and readable by its owner only.
bool debug_debug_on(const char *path) {
  if (debug_open) return true;
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  FILE *f = fdopen(fd, "w");
  if (!f) {
    close(fd);
    return false;
  }
  debug_file = f;
  debug_open = 1;
  debug_output = 1;
  rtlib_set_log_file(f);
  snprintf(log_path, sizeof log_path, "%s", path);
  return true;
}

const char *debug_log_path(const char *dir) {
  static char path[1100];
  snprintf(path, sizeof path, "%squendar.dbg", dir);
  struct stat st;
  if (lstat(path, &st) == 0 && st.st_uid != geteuid())
    snprintf(path, sizeof path, "%squendar-%u.dbg", dir, static_cast<unsigned>(geteuid()));
  return path;
}

void debug_debug_off() {
  if (debug_file) {
    if (rtlib_log_file() == debug_file) rtlib_set_log_file(nullptr);
    fclose(debug_file);
  }
  debug_file = nullptr;
  debug_open = 0;
  debug_output = 0;
}

const char *debug_path() { return log_path; }

void debug_dbshow(const char *text) {
  if (debug_file) fprintf(debug_file, "%s\n", text);
  fprintf(stdout, "%s\n", text);
}

void debug_nomem(const char *where) {
  char line[160];
  snprintf(line, sizeof line, "NO MORE MEMORY AT %s (XMEM=%llx)", where, static_cast<unsigned long long>(XMEM));
  debug_dbshow(line);
}

void debug_dbfield(int, int, const char *text) { debug_dbshow(text); }

int debug_dbwait(const char *text) {
  debug_dbshow(text);
  int c = getchar();
  return c;
}

void debug_showalloc(const char *owner, const char *what, uint32_t newsize, const void *newaddr, uint32_t oldsize,
                     const void *oldaddr) {
  if (!debug_file) return;
  fprintf(debug_file, "%s: %s ALLOCATE %x at %lx  FREE %x at %lx  XMEM=%llx\n", owner, what, newsize,
          static_cast<unsigned long>(reinterpret_cast<uintptr_t>(newaddr)), oldsize,
          static_cast<unsigned long>(reinterpret_cast<uintptr_t>(oldaddr)), static_cast<unsigned long long>(XMEM));
}

void debug_showfree(const char *owner, const char *what, uint32_t size, const void *addr) {
  if (!debug_file) return;
  fprintf(debug_file, "%s: %s FREE %x at %lx  XMEM=%llx\n", owner, what, size,
          static_cast<unsigned long>(reinterpret_cast<uintptr_t>(addr)), static_cast<unsigned long long>(XMEM));
}

void debug_printf(const char *format, ...) {
  if (!debug_file) return;
  va_list ap;
  va_start(ap, format);
  vfprintf(debug_file, format, ap);
  va_end(ap);
}
