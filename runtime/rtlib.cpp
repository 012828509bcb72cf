// rtlib: trace stack, UNCLE and its hook, floating-point control and signals,
// system error texts, and the shared number, bit, command-line and directory helpers.
#include "runtime/rtlib.h"
#include "runtime/mathcall.h"

#include <cerrno>
#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unordered_map>

#include <fcntl.h>
#include <unistd.h>

#include "platform/pwin.h"
#include "runtime/bopmem.h"
#include "runtime/strings.h"
#include "runtime/timefun.h"

// ---- Trace stack -------------------------------------------------------------------

enum { TRACE_STEP = 1024, TRACE_LIMIT = 8192, MESSAGE_BYTES = 84 };

const char **rtlib_trace_slots = nullptr;
int32_t rtlib_trace_top = 0;
int32_t rtlib_trace_size = 0;
int rtlib_unwinding = 0;

static RtlibHook guncle = nullptr;  // the installed hook
static int latch = 0;               // set when a fatal error goes to the hook
static FILE *runtime_log = nullptr; // null means standard error

// Called on a push that finds top at 0: every old slot is live. The old entries
// move up by one step, keeping their order, and the new free slots lie below them.
int32_t rtlib_trace_grow() {
  int32_t size = rtlib_trace_size + TRACE_STEP;
  if (size > TRACE_LIMIT) rtlib_trace_overflow();
  const char **slots = static_cast<const char **>(calloc(size, sizeof *slots));
  if (!slots) UNCLE("MEMORY OVERFLOW");
  if (rtlib_trace_size > 0) memcpy(slots + TRACE_STEP, rtlib_trace_slots, rtlib_trace_size * sizeof *slots);
  free(rtlib_trace_slots);
  rtlib_trace_slots = slots;
  rtlib_trace_size = size;
  rtlib_trace_top = TRACE_STEP - 1;
  return rtlib_trace_top;
}

void rtlib_trace_overflow() { UNCLE("TRACEBACK OVERFLOW."); }

static char mismatch_buffer[MESSAGE_BYTES];
void rtlib_trace_mismatch(const char *name) {
  snprintf(mismatch_buffer, sizeof mismatch_buffer, "STACK ERROR LEAVING %s", name);
  UNCLE(mismatch_buffer);
}

void rtlib_trace_unwind(const char *name) {
  if (rtlib_trace_size == 0) return;
  while (rtlib_trace_top < rtlib_trace_size && rtlib_trace_slots[rtlib_trace_top] != name) rtlib_trace_top++;
}

// Innermost first; a run of n equal adjacent names gives one "(n-1)" line at its
// last entry.
void rtlib_traceback() {
  FILE *log = rtlib_log_file();
  if (rtlib_trace_size == 0) {
    fputs("*NO TRACEBACK DATA*", log);
    return;
  }
  int repeat = 0;
  for (int32_t i = rtlib_trace_top; i < rtlib_trace_size; i++) {
    const char *name = rtlib_trace_slots[i];
    if (i + 1 < rtlib_trace_size && rtlib_trace_slots[i + 1] == name) {
      repeat++;
    } else if (repeat > 0) {
      fprintf(log, "(%d)CALLED FROM %s\n", repeat, name);
      repeat = 0;
    } else {
      fprintf(log, "---CALLED FROM %s\n", name);
    }
  }
}

// ---- Fatal errors ------------------------------------------------------------------

void rtlib_set_uncle_hook(RtlibHook hook) { guncle = hook; }
static RtlibFpHold fp_hold = nullptr;
static RtlibFpHook fp_hook = nullptr;
void rtlib_set_fp_hook(RtlibFpHold hold, RtlibFpHook report) { fp_hold = hold, fp_hook = report; }
void rtlib_get_fp_hook(RtlibFpHold *hold, RtlibFpHook *report) { *hold = fp_hold, *report = fp_hook; }
RtlibHook rtlib_get_uncle_hook() { return guncle; }
int rtlib_latch() { return latch; }
void rtlib_latch_rearm() { latch = 0; }
void rtlib_set_log_file(FILE *stream) { runtime_log = stream; }
FILE *rtlib_log_file() { return runtime_log ? runtime_log : stderr; }
void rtlib_log_line(const char *text) { fprintf(rtlib_log_file(), "%s\n", text); }

// The message the hook receives points at the caller's text; the hook copies it.
static String hook_message;

void UNCLE(const char *message) {
  if (guncle && latch == 0) {
    fputs("UNCLE calls _GUNCLE\n", stdout);
    hook_message.length = static_cast<uint16_t>(strlen(message));
    hook_message.capacity = 0;
    hook_message.text = const_cast<char *>(message);
    latch = 1;
    guncle(&hook_message);
    // A hook must not come back; if it does, the program cannot go on.
  }
  rtlib_terminate(message);
}

void rtlib_terminate(const char *message) {
  rtlib_log_line(message);
  rtlib_traceback();
  fputs("UNCLE calls FLUSHALL\n", stdout);
  int flushed = 2 + (runtime_log && runtime_log != stderr && runtime_log != stdout ? 1 : 0);
  fflush(nullptr);
  fprintf(stdout, "%d files flushed.\n", flushed);
  fflush(stdout);
  pwin_message_box(message, nullptr, PWIN_MB_STOP);
  fflush(nullptr);
  _Exit(1);
}

static char fatal_buffer[MESSAGE_BYTES];
void rtlib_fatal_in(const char *where, const char *what) {
  snprintf(fatal_buffer, sizeof fatal_buffer, "%s IN %s", what, where);
  UNCLE(fatal_buffer);
}

void rtlib_fatal(const char *text) {
  snprintf(fatal_buffer, sizeof fatal_buffer, "%s", text);
  UNCLE(fatal_buffer);
}

void rtlib_abort() { UNCLE("ABORT"); }

// ---- Floating point ----------------------------------------------------------------
// Doubles are computed by SSE, whose control register has no precision field; the
// precision and rounding settings also go to the x87 control word, which governs
// long double and is the word the debug log reports.

uint32_t rtlib_fpu_word = 0;

static uint16_t x87_get_cw() {
  uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}
static void x87_set_cw(uint16_t cw) { __asm__ volatile("fldcw %0" : : "m"(cw)); }
static uint16_t x87_get_sw() {
  uint16_t sw;
  __asm__ volatile("fnstsw %0" : "=m"(sw));
  return sw;
}
static uint32_t sse_get() {
  uint32_t m;
  __asm__ volatile("stmxcsr %0" : "=m"(m));
  return m;
}
static void sse_set(uint32_t m) { __asm__ volatile("ldmxcsr %0" : : "m"(m)); }

// Exception bits, the same in the x87 words and MXCSR: invalid, denormal, zero
// divide, overflow, underflow, inexact.
enum { FP_IE = 0x01, FP_DE = 0x02, FP_ZE = 0x04, FP_OE = 0x08, FP_UE = 0x10, FP_PE = 0x20 };

void rtlib_fpu_default() {
  feclearexcept(FE_ALL_EXCEPT);
  __asm__ volatile("fnclex");
  // x87: mask IE DE UE PE, unmask ZE OE, precision 64 bits, round to nearest.
  uint16_t cw = 0x0300 | 0x0040 | FP_IE | FP_DE | FP_UE | FP_PE;
  x87_set_cw(cw);
  // SSE: masks at bits 7..12 in the same order; round to nearest; flags cleared.
  uint32_t m = 0x1f80u & ~((uint32_t)(FP_ZE | FP_OE) << 7);
  sse_set(m);
  rtlib_fpu_word = cw;
}

void rtlib_fpu_save(fenv_t *env) { fegetenv(env); }

void rtlib_fpu_restore(const fenv_t *env) {
  __asm__ volatile("fnclex");
  fesetenv(env);
  feclearexcept(FE_ALL_EXCEPT);
  rtlib_fpu_word = x87_get_cw();
}

static void x87_update(uint16_t clear, uint16_t set) {
  uint16_t cw = (x87_get_cw() & ~clear) | set;
  x87_set_cw(cw);
  rtlib_fpu_word = cw;
}
void rtlib_fpu_precision64() { x87_update(0x0300, 0x0300); }
void rtlib_fpu_precision53() { x87_update(0x0300, 0x0200); }
void rtlib_fpu_chop() {
  x87_update(0x0c00, 0x0c00);
  sse_set((sse_get() & ~0x6000u) | 0x6000u);
}
void rtlib_fpu_nearest() {
  x87_update(0x0c00, 0x0000);
  sse_set(sse_get() & ~0x6000u);
}
uint32_t rtlib_fpu_control_word() { return x87_get_cw(); }
uint32_t rtlib_fpu_status_word() { return x87_get_sw() | (sse_get() & 0x3f); }

// ---- Signals -------------------------------------------------------------------------
// The kernel starts a handler with a clean floating-point state, and the throw out
// of it never restores the interrupted one: the catch point re-arms the traps.

static const char *fp_text(int code, uint32_t status) {
  switch (code) {
    case FPE_FLTDIV: return "Floating-Point Divide by Zero";
    case FPE_FLTOVF: return "Floating-Point Overflow";
    case FPE_FLTINV: return "Invalid Floating-Point Operation";
    case FPE_FLTUND: return "Floating-Point Underflow";
    case FPE_FLTRES: return "Inexact Floating-Point Result";
    default: break;
  }
  // No cause from the kernel: fall back on the unmasked flags that are set.
  if (status & FP_ZE) return "Floating-Point Divide by Zero";
  if (status & FP_OE) return "Floating-Point Overflow";
  if (status & FP_IE) return "Invalid Floating-Point Operation";
  if (status & FP_DE) return "Denormalized Floating-Point Operand";
  if (status & FP_UE) return "Floating-Point Underflow";
  if (status & FP_PE) return "Inexact Floating-Point Result";
  return "Unknown Floating-Point Error";
}

volatile int rtlib_trap_pending = 0;
static const char *pending_trap_text = "";

static void fp_error(int, siginfo_t *info, void *context) {
  fputs("_FP_ERROR CALLS UNCLE\n", stdout);
  uint32_t status = 0;
  if (context) {
    ucontext_t *uc = static_cast<ucontext_t *>(context);
    if (uc->uc_mcontext.fpregs) {
      status = (uc->uc_mcontext.fpregs->mxcsr & 0x3f) | (uc->uc_mcontext.fpregs->swd & 0x3f);
      uc->uc_mcontext.fpregs->mxcsr &= ~0x3fu;
      uc->uc_mcontext.fpregs->swd &= ~0x3fu;
    }
  }
  feclearexcept(FE_ALL_EXCEPT);
  FILE *log = rtlib_log_file();
  fprintf(log, "FP_ERROR %x\n", status);
  fflush(log);
  int code = info ? info->si_code : 0;
  pending_trap_text = fp_text(code, status);
  if (fp_hold) fp_hold();
  // An integer division cannot be let finish: it traps whatever the masks.
  bool fp = code != FPE_INTDIV && code != FPE_INTOVF;
  if (rtlib_trap_deferred && fp && context && static_cast<ucontext_t *>(context)->uc_mcontext.fpregs) {
    // Every trap masked in the interrupted state, which the return resumes; the catch
    // point restores the masks of its entry.
    ucontext_t *uc = static_cast<ucontext_t *>(context);
    uc->uc_mcontext.fpregs->mxcsr |= 0x1f80u;
    uc->uc_mcontext.fpregs->cwd |= 0x3fu;
    rtlib_trap_pending = 1;
    return;
  }
  rtlib_trap_raise();
}

// Each flag in turn by an operation that raises it: it traps where its trap is unmasked and
// is only flagged where it is not, as it would have been inside the call.
void rtlib_raise_flags(int flags) {
  volatile double zero = 0.0, one = 1.0, big = 1e308, r = 0.0;
  if (flags & FE_INVALID) r = zero / zero;
  if (flags & FE_DIVBYZERO) r = one / zero;
  if (flags & FE_OVERFLOW) r = big * big;
  (void)r;
}

void rtlib_trap_raise() {
  rtlib_trap_pending = 0;
  const char *text = pending_trap_text;
  if (fp_hook) fp_hook(text);
  UNCLE(text);
}

static void sig_protection(int, siginfo_t *, void *) { UNCLE("Memory Protection Fault"); }

// Requests to end: noted here, acted on at the next poll, where stopping is safe.
static volatile sig_atomic_t pending_interrupt = 0;
static bool interrupt_taken = false, interrupts_installed = false;

static void sig_interrupt(int sig) {
  pending_interrupt = sig;
  pwin_interrupt_waits();
}

void rtlib_poll_interrupt() {
  if (!pending_interrupt || interrupt_taken) return;
  interrupt_taken = true;
  UNCLE(pending_interrupt == SIGINT ? "User Interrupt" : "Termination error");
}

int rtlib_interrupt_signal() { return pending_interrupt; }

// Installed once: the one-shot handler leaves the default in force, so that a
// second request ends a program that does not end by itself.
static void install_interrupts() {
  if (interrupts_installed) return;
  interrupts_installed = true;
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = sig_interrupt;
  sa.sa_flags = SA_RESETHAND;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

static void install(int sig, void (*handler)(int, siginfo_t *, void *)) {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_sigaction = handler;
  // One shot: after a handler has run the default handling is in force until the
  // catch point installs the handlers again. Not deferred, since the handler leaves
  // by a throw and never returns to unblock its own signal.
  sa.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

void rtlib_catch_signals() {
  feclearexcept(FE_ALL_EXCEPT);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGFPE);
  sigaddset(&set, SIGSEGV);
  sigaddset(&set, SIGBUS);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  install(SIGFPE, fp_error);
  install_interrupts();
#ifndef QUENDAR_SANITIZE
  install(SIGSEGV, sig_protection);
  install(SIGBUS, sig_protection);
#endif
}

// In the sanitizer build memory faults stay with the sanitizer, whose report names
// the faulting access and its stack.
void rtlib_release_signals() {
  signal(SIGFPE, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  interrupts_installed = false;
#ifndef QUENDAR_SANITIZE
  signal(SIGSEGV, SIG_DFL);
  signal(SIGBUS, SIG_DFL);
#endif
}

// ---- System error texts ----------------------------------------------------------------

int rtlib_get_errno() { return errno; }
const char *rtlib_errno_text() { return rtlib_errno_text_of(errno); }

// A stream opened by rtlib_open_stream writes through its own descriptor and keeps
// the system error number of the first write that failed: the C library keeps only a
// flag, and a line-buffered stream has nothing left to flush at its close.
namespace {
struct Written {
  FILE *file;
  int fd;
  int err;             // the first write's failure, 0 while none failed
  std::string temp;    // a stream written by replacement: the temporary file ...
  std::string target;  // ... renamed over this one when the stream is whole
  bool whole;          // set by rtlib_close_stream when every write succeeded
};
// Never destroyed: a stream still open at exit keeps its record reachable (the program's
// own log may be open when it exits), as the C library keeps the stream itself.
std::unordered_map<FILE *, Written *> &written_streams = *new std::unordered_map<FILE *, Written *>;
}  // namespace

static ssize_t written_write(void *cookie, const char *buf, size_t size) {
  auto *w = static_cast<Written *>(cookie);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(w->fd, buf + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (!w->err) w->err = n < 0 ? errno : ENOSPC;
      errno = w->err;
      return done ? ssize_t(done) : -1;  // the library takes 0 as progress and writes again
    }
    done += size_t(n);
  }
  return ssize_t(done);
}

static int written_seek(void *cookie, off64_t *offset, int whence) {
  off64_t at = lseek64(static_cast<Written *>(cookie)->fd, *offset, whence);
  if (at < 0) return -1;
  *offset = at;
  return 0;
}

// A stream written by replacement takes its target's place only when it is whole
// and closed; any other close (a failed write, an error report that leaves the
// writer) removes the temporary file and leaves the target as it was.
static int written_close(void *cookie) {
  auto *w = static_cast<Written *>(cookie);
  written_streams.erase(w->file);
  int r = ::close(w->fd);
  int err = errno;
  if (!w->temp.empty()) {
    if (r == 0 && w->whole && rename(w->temp.c_str(), w->target.c_str()) != 0) r = -1, err = errno;
    if (r != 0 || !w->whole) unlink(w->temp.c_str());
  }
  delete w;
  errno = err;
  return r;
}

static FILE *wrap_stream(int fd, const char *mode, const char *temp, const char *target) {
  auto *w = new Written{nullptr, fd, 0, temp ? temp : "", target ? target : "", false};
  cookie_io_functions_t io = {nullptr, written_write, written_seek, written_close};
  FILE *f = fopencookie(w, mode[0] == 'w' ? "w" : "a", io);
  if (!f) {
    int e = errno;
    ::close(fd);
    if (temp) unlink(temp);
    delete w;
    errno = e;
    return nullptr;
  }
  w->file = f;
  written_streams[f] = w;
  return f;
}

FILE *rtlib_open_stream_fd(int fd, const char *temp, const char *target) { return wrap_stream(fd, "w", temp, target); }

FILE *rtlib_open_stream(const char *path, const char *mode) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
  if (mode[0] == 'w' && !strchr(mode, '+')) flags |= O_TRUNC;
  else if (mode[0] == 'a' && !strchr(mode, '+')) flags |= O_APPEND;
  else return fopen(path, mode);
  int fd = ::open(path, flags, 0666);
  if (fd < 0) return nullptr;
  return wrap_stream(fd, mode, nullptr, nullptr);
}

int rtlib_close_stream(FILE *f) {
  int err = 0;
  errno = 0;
  if (fflush(f) != 0) err = errno ? errno : EIO;
  if (!err && ferror(f)) {
    auto at = written_streams.find(f);
    err = at != written_streams.end() && at->second->err ? at->second->err : EIO;
  }
  auto at = written_streams.find(f);
  if (!err && at != written_streams.end()) at->second->whole = true;
  errno = 0;
  if (fclose(f) != 0 && !err) err = errno ? errno : EIO;
  return err;
}

const char *rtlib_errno_text_of(int err) {
  switch (err) {
    case EPERM: return "Not owner";
    case ENOENT: return "No such file or directory";
    case ESRCH: return "No such process";
    case EINTR: return "interrupt";
    case EIO: return "I/O error";
    case ENXIO: return "No such device or address";
    case E2BIG: return "Arg list too big";
    case ENOEXEC: return "Exec format error";
    case EBADF: return "Bad file number";
    case ECHILD: return "Child does not exist";
    case EAGAIN: return "Resource unavailable, try again";
    case ENOMEM: return "Not enough memory";
    case EACCES: return "Permission denied";
    case EFAULT: return "Bad address";
    case EBUSY: return "Device or resource busy";
    case EEXIST: return "File exists";
    case EXDEV: return "Cross-device link";
    case ENODEV: return "No such device";
    case ENOTDIR: return "Not a directory";
    case EISDIR: return "Is a directory";
    case EINVAL: return "Invalid argument";
    case ENFILE: return "File table overflow";
    case EMFILE: return "Too many open files";
    case ENOTTY: return "Not a character device";
    case EFBIG: return "File too large";
    case ENOSPC: return "No space left on device";
    case ESPIPE: return "Illegal seek";
    case EROFS: return "Read-only file system";
    case EMLINK: return "Too many links";
    case EPIPE: return "Broken pipe";
    case EDOM: return "Argument too large";
    case ERANGE: return "Result too large";
    case EDEADLK: return "Resource deadlock would occur";
    case ENAMETOOLONG: return "Name too long";
    case ENOLCK: return "No locks available in system";
    case ENOSYS: return "Unknown system call";
    case ENOTEMPTY: return "Directory not empty";
    default: return "Unknown Error";
  }
}

// ---- Numbers ---------------------------------------------------------------------------

int32_t rtlib_round(double x) {
  if (x >= 0) return static_cast<int32_t>(x + 0.5);
  return -static_cast<int32_t>(-x + 0.5);
}

double rtlib_pow10(int16_t n) {
  static const double table[10] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (n < 0) return 1.0 / rtlib_pow10(static_cast<int16_t>(-n));
  if (n <= 9) return table[n];
  return rtlib_pow10(static_cast<int16_t>(n - n / 2)) * rtlib_pow10(static_cast<int16_t>(n / 2));
}

double rtlib_ipow(double x, int16_t n) {
  unsigned k = n < 0 ? static_cast<unsigned>(-static_cast<int>(n)) : static_cast<unsigned>(n);
  double result = 1.0, square = x;
  while (k) {
    if (k & 1) result *= square;
    k >>= 1;
    if (k) square *= square;
  }
  if (n < 0) {
    if (result > -1e-300 && result < 1e-300) return result < 0 ? -1e300 : 1e300;
    return 1.0 / result;
  }
  return result;
}

double rtlib_pow2(uint16_t n) {
  TRACE("rtlib_pow2_0");
  if (n <= 31) return static_cast<double>(1u << n);
  if (n == 32) return 0.0;
  rtlib_fatal_in("rtlib_pow2_0", "BAD POWER OF 2");
}

// ---- Bits -------------------------------------------------------------------------------

int rtlib_bit_test(const uint32_t *w, int32_t n) { return (w[n >> 5] & (0x80000000u >> (n & 31))) != 0; }
void rtlib_bit_set(uint32_t *w, int32_t n) { w[n >> 5] |= 0x80000000u >> (n & 31); }
void rtlib_bit_clear(uint32_t *w, int32_t n) { w[n >> 5] &= ~(0x80000000u >> (n & 31)); }

int rtlib_bits_test_any(int32_t n, const uint32_t *w, int32_t count) {
  if (n < 0 || (n >> 5) >= count) return 0;
  return rtlib_bit_test(w, n);
}

uint32_t rtlib_bits_range_mask(int a, int b) {
  if (a > b) return 0;
  uint32_t hi = 0xffffffffu >> a;                       // bits a..31
  uint32_t lo = b >= 31 ? 0u : (0xffffffffu >> (b + 1)); // bits b+1..31
  return hi & ~lo;
}

void rtlib_bits_set_range(uint32_t *w, int32_t first, int32_t last) {
  for (int32_t n = first; n <= last; n++) rtlib_bit_set(w, n);
}
void rtlib_bits_clear_all(uint32_t *w, int32_t count) { memset(w, 0, count * sizeof *w); }
void rtlib_bits_copy(uint32_t *to, int32_t tocount, const uint32_t *from, int32_t fromcount) {
  int32_t n = tocount < fromcount ? tocount : fromcount;
  for (int32_t i = 0; i < n; i++) to[i] = from[i];
  for (int32_t i = n; i < tocount; i++) to[i] = 0;
}
void rtlib_bits_or(uint32_t *a, const uint32_t *b, int32_t n) { for (int32_t i = 0; i < n; i++) a[i] |= b[i]; }
void rtlib_bits_and(uint32_t *a, const uint32_t *b, int32_t n) { for (int32_t i = 0; i < n; i++) a[i] &= b[i]; }
void rtlib_bits_xor(uint32_t *a, const uint32_t *b, int32_t n) { for (int32_t i = 0; i < n; i++) a[i] ^= b[i]; }
void rtlib_bits_andnot(uint32_t *a, const uint32_t *b, int32_t n) { for (int32_t i = 0; i < n; i++) a[i] &= ~b[i]; }
void rtlib_bits_notand(uint32_t *a, const uint32_t *b, int32_t n) { for (int32_t i = 0; i < n; i++) a[i] = ~a[i] & b[i]; }

// ---- Start-up, command line, directories -------------------------------------------------

static int arg_count = 0;
static char **arg_words = nullptr;
static int arg_flag = 0;
static char path_buffer[256];
static std::string arg_buffer;  // the last word asked for, whole whatever its length

void rtlib_startup(int argc, char **argv) {
  arg_count = argc > 1 ? argc - 1 : 0;
  arg_words = argv;
  arg_flag = arg_count == 0 ? 1 : 2;
  rtlib_fpu_default();
  rtlib_catch_signals();
}

int rtlib_get_arg_flag() { return arg_flag; }
int16_t rtlib_arg_count() { return static_cast<int16_t>(arg_count > 32767 ? 32767 : arg_count); }

// A word is never cut: a cut path would name another file.
const char *rtlib_arg_text(int16_t n) {
  arg_buffer.clear();
  if (n >= 1 && n <= arg_count && arg_words) arg_buffer = arg_words[n];
  return arg_buffer.c_str();
}

const char *rtlib_get_cwd() {
  if (!getcwd(path_buffer, sizeof path_buffer)) path_buffer[0] = 0;
  return path_buffer;
}

// The program's own directory: the folder that holds the running executable.
const char *rtlib_get_windir() {
  ssize_t n = readlink("/proc/self/exe", path_buffer, sizeof path_buffer - 1);
  if (n <= 0) {
    path_buffer[0] = 0;
    return path_buffer;
  }
  path_buffer[n] = 0;
  char *slash = strrchr(path_buffer, '/');
  if (slash) *slash = 0;
  return path_buffer;
}

int rtlib_set_cwd(const char *dir) { return chdir(dir); }

void rtlib_copy_n(char **to, const char *text, int32_t n) {
  bopmemalloc(to, n + 1, 1);
  memcpy(*to, text, n);
  (*to)[n] = 0;
}

void rtlib_sleep_ms(int32_t ms) {
  if (ms <= 0) return;
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}

int32_t rtlib_stack_size() { return 32768; }

// ---- Clocks and calendar time --------------------------------------------------------------

static int64_t clock_ns() {
  static int64_t base = -1;
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  int64_t now = static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
  if (base < 0) base = now;
  return now - base;
}

double rtlib_elapsed_seconds(double start) { return static_cast<double>(clock_ns()) * 1e-9 - start; }

// Milliseconds in 32 bits (they wrap after 24 days; differences stay right).
int32_t rtlib_elapsed_ms(int32_t start) {
  uint32_t now = static_cast<uint32_t>(clock_ns() / 1000000);
  return static_cast<int32_t>(now - static_cast<uint32_t>(start));
}

void rtlib_localtime(int64_t code, TimeRec *r) {
  time_t t = static_cast<time_t>(code);
  tm m = {};
  localtime_r(&t, &m);
  *r = TimeRec{m.tm_sec, m.tm_min, m.tm_hour, m.tm_mday, m.tm_mon, m.tm_year, m.tm_wday, m.tm_yday, m.tm_isdst};
}

int64_t rtlib_mktime(const TimeRec *r) {
  tm m = {};
  m.tm_sec = r->sec, m.tm_min = r->min, m.tm_hour = r->hour, m.tm_mday = r->mday;
  m.tm_mon = r->mon, m.tm_year = r->year, m.tm_isdst = r->isdst;
  return static_cast<int64_t>(mktime(&m));
}

void rtlib_get_time_fields(TimeRec *r) {
  rtlib_localtime(static_cast<int64_t>(time(nullptr)), r);
  r->mon += 1;
}

// Copies text into a buffer of size bytes, cut to fit.
static void copy_cut(char *buffer, size_t size, const char *text) {
  size_t n = strlen(text);
  if (n >= size) n = size - 1;
  memcpy(buffer, text, n);
  buffer[n] = 0;
}

void rtlib_time_text(char *buffer) {
  TimeRec r;
  rtlib_get_time_fields(&r);
  char text[48];
  snprintf(text, sizeof text, "%02d:%02d:%02d", r.hour, r.min, r.sec);
  copy_cut(buffer, 9, text);
}

void rtlib_date_text(char *buffer) {
  TimeRec r;
  rtlib_get_time_fields(&r);
  char text[48];
  snprintf(text, sizeof text, "%d/%d/%d", r.mon, r.mday, r.year > 99 ? r.year - 100 : r.year);
  copy_cut(buffer, 16, text);
}
