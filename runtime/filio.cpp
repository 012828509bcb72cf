// filio: buffered binary files. An IOfile wraps a file descriptor with a buffer the
// caller sizes; every read and write of a typed value, counted string, block or text
// line goes through it, so the operating system sees whole buffers.
//
// A record that meets an operating-system error is released (descriptor closed,
// buffer freed, a temporary file removed) before the fatal stop, so the command
// that is abandoned leaks nothing and the record can be opened again.
#include "runtime/filio.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

// Typed values pass through this scratch; a value cut short by end of file keeps
// whatever bytes were there before.
static uint8_t scratch[8];
static char message[84];

int filio_init() {
  TRACE("filio");
  return 0;
}

static IOfile *check(IOfile *f, const char *where) {
  if (!f) rtlib_fatal_in(where, "NIL IOfile");
  return f;
}

[[noreturn]] static void bad_state(IOfile *f, const char *where) {
  snprintf(message, sizeof message, "Illegal file state (%d)", f->state);
  rtlib_fatal_in(where, message);
}

static void release_buffer(IOfile *f) {
  if (f->buffer) {
    XMEM -= f->size;
    bopmemfree(&f->buffer);
  }
  f->size = f->filled = f->position = 0;
}

// Closes and releases a record that cannot go on; a temporary file goes with it.
static void discard(IOfile *f) {
  if (f->handle >= 0 && f->state != FILIO_CLOSED) close(f->handle);
  if (f->temp.length) unlink(f->temp.text);
  if (f->temp.capacity) strings_free_0(&f->temp);
  release_buffer(f);
  f->handle = -1;
  f->state = FILIO_CLOSED;
}

static FilioReport report_hook = nullptr;

FilioReport filio_set_report(FilioReport hook) {
  FilioReport was = report_hook;
  report_hook = hook;
  return was;
}

// "name: system text" for an operating-system error. With a report hook the whole
// name goes to it as the error on the file; without one the name is cut from the
// left so that the message and the stopping function's name fit the fatal buffer.
[[noreturn]] static void os_fail(IOfile *f, const char *where, int err) {
  const char *text = rtlib_errno_text_of(err);
  const char *name = f->name.text ? f->name.text : "";
  if (report_hook) {
    String whole = {};
    strings_copyto_1(&whole, name);
    strings_addto_1(&whole, ": ");
    strings_addto_1(&whole, text);
    discard(f);
    static String m;  // the report jumps away
    strings_copyto_0(&m, &whole);
    strings_free_0(&whole);
    report_hook(&m);
  }
  int room = 83 - 4 - (int)strlen(where) - 2 - (int)strlen(text);
  int len = (int)strlen(name);
  if (room < 8) room = 8;
  if (len > room) name += len - room;
  snprintf(message, sizeof message, "%s: %s", name, text);
  discard(f);
  rtlib_fatal_in(where, message);
}

static void set_name(IOfile *f, const char *name) { strings_copyto_1(&f->name, name); }

static void take_buffer(IOfile *f, int32_t size, const char *where) {
  if (f->state != FILIO_CLOSED) bad_state(f, where);
  if (f->buffer) rtlib_fatal_in(where, "Duplicate buffer allocation");
  if (size < 1) size = 1;
  bopmemalloc(&f->buffer, size, 1);
  if (!f->buffer) rtlib_fatal_in(where, "Memory allocation failed");
  XMEM += size;
  f->size = size;
}

void filio_initialize(IOfile *f) {
  TRACE("filio_initialize_0");
  check(f, "filio_initialize_0");
  f->state = FILIO_CLOSED;
  f->kind = 0;
  f->swap = 0;
  f->error = 0;
  f->handle = -1;
  f->buffer = nullptr;
  f->size = f->filled = f->position = 0;
  f->filepos = 0;
}

void filio_set_byte_order(IOfile *f, uint32_t order) {
  TRACE("filio_set_byte_order_0");
  check(f, "filio_set_byte_order_0")->swap = order != 0;
}

void filio_byte_reverse(void *bytes, uint16_t n) {
  TRACE("filio_byte_reverse_0");
  uint8_t *b = static_cast<uint8_t *>(bytes);
  for (int i = 0, j = n - 1; i < j; i++, j--) {
    uint8_t t = b[i];
    b[i] = b[j];
    b[j] = t;
  }
}

// ---- Reading ----------------------------------------------------------------------

bool filio_open_get(IOfile *f, int32_t size, const String *name) {
  TRACE("filio_open_get_0");
  check(f, "filio_open_get_0");
  const char *path = name && name->text ? name->text : "";
  take_buffer(f, size, "filio_open_get_0");
  // The open does not wait (a FIFO without a writer would block it for ever), and
  // only a regular file is read: a directory cannot be, a pipe or device may block
  // or never end (/dev/zero). Reads then wait again as usual.
  int fd;
  do fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  while (fd < 0 && errno == EINTR);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
    close(fd);
    fd = -1;
  }
  debug_printf("SYSOPEN(%s) RETURNS %x\n", path, (unsigned)fd);
  if (fd < 0) {
    release_buffer(f);
    return false;
  }
  set_name(f, path);
  f->handle = fd;
  f->state = FILIO_READING;
  f->kind = 0;
  f->swap = 0;
  f->error = 0;
  f->filled = f->position = 0;
  f->filepos = 0;
  return true;
}

void filio_close_get(IOfile *f) {
  TRACE("filio_close_get_0");
  check(f, "filio_close_get_0");
  if (f->state == FILIO_CLOSED) return;
  if (f->state != FILIO_READING && f->state != FILIO_AT_EOF) bad_state(f, "filio_close_get_0");
  close(f->handle);
  f->handle = -1;
  release_buffer(f);
  f->state = FILIO_CLOSED;
}

bool filio_eof(IOfile *f) {
  TRACE("filio_eof_0");
  return check(f, "filio_eof_0")->state == FILIO_AT_EOF;
}

// Reads the next buffer's worth; nothing read means end of file.
static void refill(IOfile *f, const char *where) {
  ssize_t got;
  do got = read(f->handle, f->buffer, f->size);
  while (got < 0 && errno == EINTR);
  if (got < 0) os_fail(f, where, errno);
  f->position = 0;
  f->filled = static_cast<int32_t>(got);
  f->filepos += got;
  if (got == 0) f->state = FILIO_AT_EOF;
}

// The next byte of a reading file, or -1 when end of file is met now (state 3).
static int next_byte(IOfile *f, const char *where) {
  if (f->position >= f->filled) {
    refill(f, where);
    if (f->state == FILIO_AT_EOF) return -1;
  }
  return f->buffer[f->position++];
}

int32_t filio_get_block(IOfile *f, void *to, int32_t n) {
  TRACE("filio_get_block_0");
  check(f, "filio_get_block_0");
  uint8_t *d = static_cast<uint8_t *>(to);
  if (f->state == FILIO_AT_EOF) {
    if (n > 0) memset(d, 0, n);
    return 0;
  }
  if (f->state != FILIO_READING) bad_state(f, "filio_get_block_0");
  f->error = 0;
  int32_t done = 0;
  while (f->state == FILIO_READING && !f->error && done < n) {
    if (f->position >= f->filled) {
      refill(f, "filio_get_block_0");
      continue;
    }
    int32_t k = n - done < f->filled - f->position ? n - done : f->filled - f->position;
    memcpy(d + done, f->buffer + f->position, k);
    f->position += k;
    done += k;
  }
  return done;
}

static uint8_t get_byte(IOfile *f, const char *where) {
  check(f, where);
  if (f->state == FILIO_AT_EOF) return 26;
  if (f->state != FILIO_READING) bad_state(f, where);
  int b = next_byte(f, where);
  return b < 0 ? 0 : static_cast<uint8_t>(b);
}

uint8_t filio_get_byte(IOfile *f) {
  TRACE("filio_get_byte_0");
  return get_byte(f, "filio_get_byte_0");
}

uint8_t filio_get_char(IOfile *f) {
  TRACE("filio_get_char_0");
  return get_byte(f, "filio_get_char_0");
}

// Fills the scratch with n bytes of a typed value, in the machine's order.
static const uint8_t *get_value(IOfile *f, uint16_t n) {
  filio_get_block(f, scratch, n);
  if (f->swap) filio_byte_reverse(scratch, n);
  return scratch;
}

// A value of type T from the file, after the checks of where.
template <class T> static T get_typed(IOfile *f, const char *where) {
  T v;
  memcpy(&v, get_value(check(f, where), sizeof v), sizeof v);
  return v;
}

int16_t filio_get_short(IOfile *f) {
  TRACE("filio_get_short_0");
  return get_typed<int16_t>(f, "filio_get_short_0");
}

uint16_t filio_get_ushort(IOfile *f) {
  TRACE("filio_get_ushort_0");
  return get_typed<uint16_t>(f, "filio_get_ushort_0");
}

int32_t filio_get_long(IOfile *f) {
  TRACE("filio_get_long_0");
  return get_typed<int32_t>(f, "filio_get_long_0");
}

double filio_get_single(IOfile *f) {
  TRACE("filio_get_single_0");
  return get_typed<float>(f, "filio_get_single_0");
}

double filio_get_double(IOfile *f) {
  TRACE("filio_get_double_0");
  return get_typed<double>(f, "filio_get_double_0");
}

void filio_get_string(IOfile *f, String *d) {
  TRACE("filio_get_string_0");
  uint16_t n = filio_get_ushort(check(f, "filio_get_string_0"));
  if (d->capacity < n || d->capacity == 0) strings_resize_0(d, d->length, n);
  int32_t got = filio_get_block(f, d->text, n);
  strings_set_length(d, static_cast<uint16_t>(got));
}

uint16_t filio_get_carray(IOfile *f, char *buffer, uint16_t max) {
  TRACE("filio_get_carray_0");
  uint16_t n = filio_get_ushort(check(f, "filio_get_carray_0"));
  filio_get_block(f, buffer, n < max ? n : max);
  for (int32_t rest = n - max; rest > 0; rest--) get_byte(f, "filio_get_carray_0");
  return n;
}

// Reads one line, handing each character to put: ends at LF, CR, CR LF, a NUL or
// end of file, and ends the file at Ctrl-Z. After a CR the next byte is read and,
// unless it is the LF of the pair, stepped back over; at end of file there is no
// byte to step back over.
template <class Put> static void read_line(IOfile *f, const char *where, Put put) {
  if (f->state == FILIO_AT_EOF) return;
  if (f->state != FILIO_READING) bad_state(f, where);
  for (;;) {
    int b = next_byte(f, where);
    if (b <= 0 || b == 10) return;
    if (b == 26) {
      f->state = FILIO_AT_EOF;
      return;
    }
    if (b == 13) {
      int c = next_byte(f, where);
      if (c >= 0 && c != 10) f->position--;
      return;
    }
    put(static_cast<char>(b));
  }
}

void filio_get_line_1(IOfile *f, String *d) {
  TRACE("filio_get_line_1");
  check(f, "filio_get_line_1");
  if (d->capacity == 0) strings_resize_0(d, 0, 16);
  d->length = 0;
  f->error = 0;
  read_line(f, "filio_get_line_1", [&](char c) {
    if (d->length >= d->capacity) {
      if (d->length == 65535) {
        f->error = FILIO_LINE_TOO_LONG;
        return;
      }
      uint32_t cap = d->capacity + 16u;
      strings_resize_0(d, d->length, static_cast<uint16_t>(cap > 65535 ? 65535 : cap));
    }
    d->text[d->length++] = c;
  });
  d->text[d->length] = 0;
}

int16_t filio_get_line_0(IOfile *f, char *buffer, uint16_t max) {
  TRACE("filio_get_line_0");
  check(f, "filio_get_line_0");
  int32_t count = 0;
  read_line(f, "filio_get_line_0", [&](char c) {
    if (max == 0) return;
    buffer[count < max ? count : max - 1] = c;
    if (count < max) count++;
  });
  return static_cast<int16_t>(count);
}

// ---- Writing ----------------------------------------------------------------------

// Writes n bytes at the operating-system position, retrying short writes; returns
// the bytes stored. A write that stores nothing ends the file (state 4).
static int32_t write_out(IOfile *f, const uint8_t *from, int32_t n, const char *where) {
  int32_t done = 0;
  while (done < n) {
    ssize_t put = write(f->handle, from + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) os_fail(f, where, errno);
    if (put == 0) {
      f->state = FILIO_ENDED;
      break;
    }
    done += static_cast<int32_t>(put);
  }
  return done;
}

// Creates a temporary file beside the real target of name (a symbolic link is
// followed to the file it names), so that the rename stays on one file system; the
// new file takes the old one's permissions and, where allowed, its owner, and a file
// made afresh gets what the process creates files with, as logs do; an existing
// file that may not be written is refused (EACCES). Returns the
// descriptor with the temporary name in temp, or -1 with errno set.
static int make_temp(const char *name, String *temp) {
  struct stat st;
  char *real = realpath(name, nullptr);
  const char *target = real ? real : name;
  size_t len = strlen(target);
  char *tmp = static_cast<char *>(malloc(len + 12));
  memcpy(tmp, target, len);
  memcpy(tmp + len, ".qtmpXXXXXX", 12);
  bool exists = stat(target, &st) == 0;
  // A file that may not be written is not replaced either.
  bool locked = exists && access(target, W_OK) != 0;
  free(real);
  if (locked) {
    free(tmp);
    errno = EACCES;
    return -1;
  }
  int fd = mkostemp(tmp, O_CLOEXEC);
  int err = errno;
  if (fd >= 0) {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, exists ? st.st_mode & 07777 : 0666 & ~mask);
    if (exists && fchown(fd, st.st_uid, st.st_gid) != 0) { /* not the owner: keep ours */
    }
    strings_copyto_1(temp, tmp);
  }
  free(tmp);
  errno = err;
  return fd;
}

// Whether name is a device or pipe, written in place: renaming over it would
// replace the node.
static bool in_place(const char *name) {
  struct stat st;
  return stat(name, &st) == 0 && !S_ISREG(st.st_mode);
}

static void open_put(IOfile *f, int32_t size, const char *name, bool replace, const char *where) {
  check(f, where);
  take_buffer(f, size, where);
  set_name(f, name);
  f->handle = -1;
  f->temp.length = 0;
  int fd = -1;
  bool regular = !in_place(name);
  if (replace && regular) {
    fd = make_temp(name, &f->temp);
    if (fd < 0) os_fail(f, where, errno);
  } else {
    do fd = open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) os_fail(f, where, errno);
  }
  f->handle = fd;
  f->state = FILIO_WRITING;
  f->kind = 0;
  f->swap = 0;
  f->error = 0;
  f->filled = f->size;
  f->position = 0;
  f->filepos = 0;
}

void filio_open_put(IOfile *f, int32_t size, const char *name) {
  TRACE("filio_open_put_0");
  open_put(f, size, name ? name : "", false, "filio_open_put_0");
}

void filio_open_put_1(IOfile *f, int32_t size, const String *name) {
  TRACE("filio_open_put_1");
  open_put(f, size, name && name->text ? name->text : "", false, "filio_open_put_1");
}

void filio_open_put_2(IOfile *f, int32_t size, const String *name) {
  TRACE("filio_open_put_2");
  open_put(f, size, name && name->text ? name->text : "", true, "filio_open_put_2");
}

static void flush(IOfile *f, const char *where) {
  if (f->state == FILIO_ENDED) return;
  if (f->state != FILIO_WRITING) bad_state(f, where);
  f->filepos += write_out(f, f->buffer, f->position, where);
  f->position = 0;
}

void filio_put_buffer(IOfile *f) {
  TRACE("filio_put_buffer_0");
  flush(check(f, "filio_put_buffer_0"), "filio_put_buffer_0");
}

// Writes the waiting bytes and closes. A file written by replacement is synced and
// renamed over its target only when every byte reached it; otherwise the temporary
// file is removed, the target left as it was, and the failure is a fatal error.
void filio_close_put(IOfile *f) {
  TRACE("filio_close_put_0");
  const char *where = "filio_close_put_0";
  check(f, where);
  if (f->state == FILIO_CLOSED) return;
  flush(f, where);
  if (f->temp.length) {
    if (f->state == FILIO_ENDED) os_fail(f, where, ENOSPC);
    if (fsync(f->handle) != 0) os_fail(f, where, errno);
    if (close(f->handle) != 0) {
      f->state = FILIO_CLOSED;
      os_fail(f, where, errno);
    }
    f->state = FILIO_CLOSED;
    char *real = realpath(f->name.text, nullptr);
    int r = rename(f->temp.text, real ? real : f->name.text);
    int err = errno;
    free(real);
    if (r != 0) os_fail(f, where, err);
    strings_free_0(&f->temp);
  } else if (close(f->handle) != 0) {
    int err = errno;
    f->state = FILIO_CLOSED;
    os_fail(f, where, err);
  }
  f->handle = -1;
  release_buffer(f);
  f->state = FILIO_CLOSED;
}

void filio_abandon_put(IOfile *f) {
  TRACE("filio_abandon_put");
  if (f->state != FILIO_CLOSED) discard(f);
}

int32_t filio_put_block(IOfile *f, const void *from, int32_t n) {
  TRACE("filio_put_block_0");
  const char *where = "filio_put_block_0";
  check(f, where);
  if (f->state != FILIO_WRITING) bad_state(f, where);
  const uint8_t *s = static_cast<const uint8_t *>(from);
  f->error = 0;
  int32_t done = 0;
  while (f->state == FILIO_WRITING && !f->error && done < n) {
    if (f->position >= f->filled) {
      f->filepos += write_out(f, f->buffer, f->position, where);
      f->position = 0;
      continue;
    }
    int32_t k = n - done < f->filled - f->position ? n - done : f->filled - f->position;
    memcpy(f->buffer + f->position, s + done, k);
    f->position += k;
    done += k;
  }
  return done;
}

void filio_put_byte(IOfile *f, uint8_t v) {
  TRACE("filio_put_byte_0");
  filio_put_block(f, &v, 1);
}

// Writes n bytes of a typed value from the scratch, reversed when swap is set.
static void put_value(IOfile *f, const void *v, uint16_t n, const char *where) {
  check(f, where);
  memcpy(scratch, v, n);
  if (f->swap) filio_byte_reverse(scratch, n);
  filio_put_block(f, scratch, n);
}

void filio_put_short(IOfile *f, int16_t v) {
  TRACE("filio_put_short_0");
  put_value(f, &v, 2, "filio_put_short_0");
}

void filio_put_ushort(IOfile *f, uint16_t v) {
  TRACE("filio_put_ushort_0");
  put_value(f, &v, 2, "filio_put_ushort_0");
}

void filio_put_long(IOfile *f, int32_t v) {
  TRACE("filio_put_long_0");
  put_value(f, &v, 4, "filio_put_long_0");
}

void filio_put_single(IOfile *f, double v) {
  TRACE("filio_put_single_0");
  float s = static_cast<float>(v);
  put_value(f, &s, 4, "filio_put_single_0");
}

void filio_put_double(IOfile *f, double v) {
  TRACE("filio_put_double_0");
  put_value(f, &v, 8, "filio_put_double_0");
}

void filio_put_string(IOfile *f, const String *s) {
  TRACE("filio_put_string_0");
  filio_put_ushort(f, s->length);
  if (s->length) filio_put_block(f, s->text, s->length);
}

void filio_put_carray(IOfile *f, const char *c) {
  TRACE("filio_put_carray_0");
  size_t n = strlen(c);
  if (n > 65535) rtlib_fatal_in("filio_put_carray_0", "String longer than 65535 characters");
  filio_put_ushort(f, static_cast<uint16_t>(n));
  filio_put_block(f, c, static_cast<int32_t>(n));
}

void filio_put_text(IOfile *f, const String *s) {
  TRACE("filio_put_text_0");
  check(f, "filio_put_text_0");
  if (s->length) filio_put_block(f, s->text, s->length);
}

static const uint8_t crlf[2] = {13, 10};

void filio_put_line_0(IOfile *f, const char *c) {
  TRACE("filio_put_line_0");
  filio_put_block(f, c, static_cast<int32_t>(strlen(c)));
  filio_put_block(f, crlf, 2);
}

void filio_put_line_1(IOfile *f, const String *s) {
  TRACE("filio_put_line_1");
  if (s->length) filio_put_block(f, s->text, s->length);
  filio_put_block(f, crlf, 2);
}

// ---- Positions ----------------------------------------------------------------------

static void check_kind(IOfile *f, const char *where) {
  check(f, where);
  if (f->kind != 0) rtlib_fatal_in(where, "Illegal file kind");
}

static int64_t file_pos(IOfile *f, const char *where) {
  check_kind(f, where);
  switch (f->state) {
    case FILIO_READING:
    case FILIO_AT_EOF: return f->filepos - f->filled + f->position;
    case FILIO_WRITING:
    case FILIO_ENDED: return f->filepos + f->position;
    default: bad_state(f, where);
  }
}

int64_t filio_get_file_pos(IOfile *f) {
  TRACE("filio_get_file_pos_0");
  return file_pos(f, "filio_get_file_pos_0");
}

int32_t filio_get_file_pos_1(IOfile *f) {
  TRACE("filio_get_file_pos_1");
  int64_t p = file_pos(f, "filio_get_file_pos_1");
  if (p > INT32_MAX) rtlib_fatal_in("filio_get_file_pos_1", "File position beyond 2 GiB");
  return static_cast<int32_t>(p);
}

void filio_seek_file(IOfile *f, int64_t offset) {
  TRACE("filio_seek_file_0");
  const char *where = "filio_seek_file_0";
  check_kind(f, where);
  switch (f->state) {
    case FILIO_WRITING: flush(f, where); break;
    case FILIO_READING: f->filled = 0; break;
    case FILIO_AT_EOF:
      if (offset < f->filepos) f->state = FILIO_READING;
      f->filled = 0;
      break;
    default: bad_state(f, where);
  }
  f->position = 0;
  f->filepos = offset;
  if (lseek(f->handle, offset, SEEK_SET) < 0) os_fail(f, where, errno);
}

void filio_mark_file(IOfile *f) {
  TRACE("filio_mark_file_0");
  const char *where = "filio_mark_file_0";
  check_kind(f, where);
  if (f->state != FILIO_READING && f->state != FILIO_AT_EOF) bad_state(f, where);
  int64_t p = f->filepos - f->filled + f->position;
  f->filled = f->position = 0;
  f->filepos = p;
  if (lseek(f->handle, p, SEEK_SET) < 0) os_fail(f, where, errno);
}

// Writes n bytes at an earlier offset without moving the operating-system position.
// Bytes that are still waiting in the buffer are written out first, so the patch
// is never overwritten by them later.
void filio_put_patch(IOfile *f, int64_t offset, const void *from, uint16_t n) {
  TRACE("filio_put_patch_0");
  const char *where = "filio_put_patch_0";
  check_kind(f, where);
  if (f->state != FILIO_WRITING) bad_state(f, where);
  if (offset + n > f->filepos) flush(f, where);
  const uint8_t *s = static_cast<const uint8_t *>(from);
  for (int32_t done = 0; done < n;) {
    ssize_t put = pwrite(f->handle, s + done, n - done, offset + done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) os_fail(f, where, errno);
    if (put == 0) os_fail(f, where, ENOSPC);
    done += static_cast<int32_t>(put);
  }
}

FILE *filio_open_stream(const char *name, bool append) {
  TRACE("filio_open_stream");
  if (in_place(name)) return rtlib_open_stream(name, append ? "a" : "w");
  String temp = {};
  int fd = make_temp(name, &temp);
  if (fd < 0) {
    strings_free_0(&temp);
    return nullptr;
  }
  // Appending copies what the file holds first: the whole file is replaced at close.
  int old = append ? open(name, O_RDONLY | O_CLOEXEC) : -1;
  bool copied = true;
  if (old >= 0) {
    char block[65536];
    ssize_t n;
    while (copied && (n = read(old, block, sizeof block)) != 0) {
      if (n < 0 && errno == EINTR) continue;
      for (ssize_t done = 0; copied && done < n;) {
        ssize_t put = n < 0 ? -1 : write(fd, block + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) copied = false;
        else done += put;
      }
    }
    close(old);
  }
  char *real = realpath(name, nullptr);
  FILE *s = nullptr;
  if (copied) {
    s = rtlib_open_stream_fd(fd, temp.text, real ? real : name);
  } else {
    int err = errno ? errno : ENOSPC;
    close(fd);
    unlink(temp.text);
    errno = err;
  }
  free(real);
  strings_free_0(&temp);
  return s;
}

bool filio_can_replace(const String *name) {
  TRACE("filio_can_replace");
  const char *path = name && name->text ? name->text : "";
  if (in_place(path)) return access(path, W_OK) == 0;
  String temp = {};
  int fd = make_temp(path, &temp);
  if (fd >= 0) {
    close(fd);
    unlink(temp.text);
  }
  strings_free_0(&temp);
  return fd >= 0;
}

FILE *filio_fopen(const String *name, const char *mode) {
  TRACE("filio_fopen_0");
  return fopen(name && name->text ? name->text : "", mode);
}
