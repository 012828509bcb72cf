// rtlib: the runtime's trace stack of function names, the fatal-error handler UNCLE
// with its once-only hook, floating-point control and signal handlers, system error
// texts, and the small number, bit, command-line and directory helpers.
#pragma once
#include <cfenv>
#include <cstdint>
#include <cstdio>

// ---- Trace stack ---------------------------------------------------------------
// The stack grows downwards: live entries are slots top..size-1, slot top the
// innermost. Names are static texts compared by address.
extern const char **rtlib_trace_slots;
extern int32_t rtlib_trace_top;
extern int32_t rtlib_trace_size;
// Nonzero while the catch-point jump propagates: guards then leave their names
// on the stack so that the catch point can still write the traceback.
extern int rtlib_unwinding;

// clang builds unwinding tables for calls only: a throw out of a signal handler through
// a frame with cleanups, stopped at a trapping instruction, ends the program. There a
// floating-point trap is held (its traps masked, the instruction let finish) and raised
// by the next trace guard: at the next traced call or at the trapping function's return,
// with the trace stack as at the trap.
#if defined(__clang__)
constexpr bool rtlib_trap_deferred = true;
#else
constexpr bool rtlib_trap_deferred = false;
#endif
extern volatile int rtlib_trap_pending;
[[noreturn]] void rtlib_trap_raise();
// Raises a held trap now: where a place for its report is in force only until a scope
// closes, or where the next trace guard would be a destructor that may not throw.
inline void rtlib_trap_check() {
  if constexpr (rtlib_trap_deferred)
    if (rtlib_trap_pending) rtlib_trap_raise();
}
// A call of a multiversioned function (target_clones) is compiled as one that throws
// nothing, so a floating-point trap inside it, whose handler throws, would end the
// program. Called through the pointer this returns, which the compiler cannot see through,
// the call may throw and the trap unwinds to its report.
template <class F> inline F *rtlib_may_trap(F *f) {
  F *volatile g = f;
  return g;
}

int32_t rtlib_trace_grow();
[[noreturn]] void rtlib_trace_overflow();
[[noreturn]] void rtlib_trace_mismatch(const char *name);
void rtlib_trace_unwind(const char *name);
void rtlib_traceback();

// The guard every traced function opens with: push on entry, pop with the
// identity check on every normal exit. A frame left by the jump keeps its name for
// the traceback; a frame entered while the jump propagates (a release run by a
// destructor) pops as usual, so the unwinding piles nothing onto the stack.
struct RtlibTrace {
  const char *name;
  int entered_unwinding;
  explicit RtlibTrace(const char *n) : name(n), entered_unwinding(rtlib_unwinding) {
    if constexpr (rtlib_trap_deferred)
      if (rtlib_trap_pending && !rtlib_unwinding) rtlib_trap_raise();
    int32_t t = rtlib_trace_top;
    t = (t == 0) ? rtlib_trace_grow() : t - 1;
    rtlib_trace_top = t;
    rtlib_trace_slots[t] = n;
  }
  ~RtlibTrace() noexcept(false) {
    if (rtlib_unwinding && !entered_unwinding) return;
    if constexpr (rtlib_trap_deferred)
      if (rtlib_trap_pending && !rtlib_unwinding) rtlib_trap_raise();
    if (rtlib_trace_slots[rtlib_trace_top++] != name) rtlib_trace_mismatch(name);
  }
  RtlibTrace(const RtlibTrace &) = delete;
  RtlibTrace &operator=(const RtlibTrace &) = delete;
};
#define TRACE(n) RtlibTrace rtlib_trace_guard_(n)

// ---- Fatal errors --------------------------------------------------------------
struct String;
typedef void (*RtlibHook)(String *message);

[[noreturn]] void UNCLE(const char *message);
[[noreturn]] void rtlib_fatal_in(const char *where, const char *what);
[[noreturn]] void rtlib_fatal(const char *text);
[[noreturn]] void rtlib_abort();
// The terminating path of UNCLE: log line, traceback, flush, message box, exit 1.
[[noreturn]] void rtlib_terminate(const char *message);
void rtlib_set_uncle_hook(RtlibHook hook);
// A floating-point trap: hold runs in the signal handler and notes where the trap came;
// report runs with the trap's text before it becomes a fatal error, and a report that can
// place the trap reports it there and does not return.
typedef void (*RtlibFpHold)();
typedef void (*RtlibFpHook)(const char *text);
void rtlib_set_fp_hook(RtlibFpHold hold, RtlibFpHook report);
void rtlib_get_fp_hook(RtlibFpHold *hold, RtlibFpHook *report);
RtlibHook rtlib_get_uncle_hook();
int rtlib_latch();            // 1 once a fatal error has gone to the hook
void rtlib_latch_rearm();     // the catch point re-arms it after reporting
void rtlib_set_log_file(FILE *stream);
FILE *rtlib_log_file();       // the runtime log (standard error until the debug log opens)
void rtlib_log_line(const char *text);

// ---- Floating point and signals ------------------------------------------------
void rtlib_fpu_default();
// The floating-point environment (control words and masks) as it stands, and back to a
// saved one with its exception flags cleared.
void rtlib_fpu_save(fenv_t *env);
void rtlib_fpu_restore(const fenv_t *env);
void rtlib_fpu_precision64();
void rtlib_fpu_precision53();
void rtlib_fpu_chop();
void rtlib_fpu_nearest();
uint32_t rtlib_fpu_control_word();
uint32_t rtlib_fpu_status_word();
extern uint32_t rtlib_fpu_word;   // the control word left by the last setting
void rtlib_catch_signals();
void rtlib_release_signals();
// An interrupt (SIGINT) or termination (SIGTERM) request is only noted when it
// arrives; the program acts on it at its next poll. The first poll after it stops
// with "User Interrupt" or "Termination error" through UNCLE, once; later polls do
// nothing. A second request while the first is acted on ends the process at once.
void rtlib_poll_interrupt();
// The signal number of the request noted, 0 when none came.
int rtlib_interrupt_signal();

// ---- System error texts --------------------------------------------------------
int rtlib_get_errno();
const char *rtlib_errno_text();
const char *rtlib_errno_text_of(int err);
// Opens a file to write ("w" or "a"; any other mode is fopen's) as a C stream that
// keeps the system error number of its first failed write; null with errno set when
// the file cannot be opened.
FILE *rtlib_open_stream(const char *path, const char *mode);
// Flushes and closes a C stream written to; returns 0, or the system error number
// of the first write, flush or close that failed (for a stream of rtlib_open_stream,
// that of the write itself even when the flush has nothing left to write).
int rtlib_close_stream(FILE *f);
// A stream as rtlib_open_stream's on fd, an open temporary file temp that
// rtlib_close_stream renames over target once every byte reached it; a failed or
// plain fclose removes temp instead. Null with errno set (fd closed, temp removed)
// when no stream can be made.
FILE *rtlib_open_stream_fd(int fd, const char *temp, const char *target);

// ---- Numbers ---------------------------------------------------------------------
int32_t rtlib_round(double x);
double rtlib_pow10(int16_t n);
double rtlib_ipow(double x, int16_t n);
double rtlib_pow2(uint16_t n);

// ---- Bits (bit n from 0 is in word n/32 under 0x80000000 >> n%32) --------------
int rtlib_bit_test(const uint32_t *words, int32_t n);
void rtlib_bit_set(uint32_t *words, int32_t n);
void rtlib_bit_clear(uint32_t *words, int32_t n);
int rtlib_bits_test_any(int32_t n, const uint32_t *words, int32_t count);
uint32_t rtlib_bits_range_mask(int a, int b);
void rtlib_bits_set_range(uint32_t *words, int32_t first, int32_t last);
void rtlib_bits_clear_all(uint32_t *words, int32_t count);
void rtlib_bits_copy(uint32_t *to, int32_t tocount, const uint32_t *from, int32_t fromcount);
void rtlib_bits_or(uint32_t *a, const uint32_t *b, int32_t count);
void rtlib_bits_and(uint32_t *a, const uint32_t *b, int32_t count);
void rtlib_bits_xor(uint32_t *a, const uint32_t *b, int32_t count);
void rtlib_bits_andnot(uint32_t *a, const uint32_t *b, int32_t count);
void rtlib_bits_notand(uint32_t *a, const uint32_t *b, int32_t count);

// ---- Start-up, command line, directories ----------------------------------------
void rtlib_startup(int argc, char **argv);
int rtlib_get_arg_flag();       // 1 with no command-line words, 2 otherwise
int16_t rtlib_arg_count();
const char *rtlib_arg_text(int16_t n);
const char *rtlib_get_cwd();
const char *rtlib_get_windir();
int rtlib_set_cwd(const char *dir);
void rtlib_copy_n(char **to, const char *text, int32_t n);
void rtlib_sleep_ms(int32_t ms);
int32_t rtlib_stack_size();

// ---- Clocks and calendar time ------------------------------------------------------
// The clocks count from the first reading in the process on the monotonic clock,
// so they never jump with the calendar. Calendar records are timefun's TimeRec.
struct TimeRec;
double rtlib_elapsed_seconds(double start);      // clock seconds minus start
int32_t rtlib_elapsed_ms(int32_t start);         // clock milliseconds minus start
void rtlib_time_text(char *buffer);              // "%02d:%02d:%02d" of now; 9 bytes
void rtlib_date_text(char *buffer);              // "%d/%d/%d" of today; 16 bytes
void rtlib_localtime(int64_t code, TimeRec *record);  // local time, month from 0
int64_t rtlib_mktime(const TimeRec *record);          // month from 0
void rtlib_get_time_fields(TimeRec *record);          // now, month from 1
