// Test helpers for the runtime's global state: the runtime log captured in a
// temporary file, and a clean trace stack saved and restored around a test.
#pragma once
#include <csignal>
#include <cstdio>
#include <string>

#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/tempfiles.h"

// A String that frees itself.
struct OwnedString {
  String s = {};
  OwnedString() = default;
  explicit OwnedString(const std::string &c) { strings_copyto_1(&s, c.c_str()); }
  ~OwnedString() { strings_free_0(&s); }
  String *operator&() { return &s; }
  std::string text() const { return std::string(s.text ? s.text : "", s.length); }
};

struct LogCapture {
  FILE *file;
  LogCapture() : file(tmpfile()) { rtlib_set_log_file(file); }
  ~LogCapture() {
    rtlib_set_log_file(nullptr);
    fclose(file);
  }
  std::string text() {
    fflush(file);
    rewind(file);
    return slurp_stream(file);
  }
};

// Points the debug log at a temporary file while it lives.
struct DebugCapture {
  FILE *saved = debug_file, *file = tmpfile();
  DebugCapture() { debug_file = file; }
  ~DebugCapture() {
    debug_file = saved;
    fclose(file);
  }
  std::string text() {
    fflush(file);
    rewind(file);
    return slurp_stream(file);
  }
};

// Installs the hook, and clears the latch and the unwinding flag, for one test.
// Every landing at the catch point installs the program's signal handlers again; the
// scope puts back the handlers it began with (the default, or a sanitizer's), so no
// later test finds the program's.
struct HookScope {
  static constexpr int signals[5] = {SIGFPE, SIGSEGV, SIGBUS, SIGINT, SIGTERM};
  struct sigaction saved[5];
  HookScope() {
    for (int k = 0; k < 5; k++) sigaction(signals[k], nullptr, &saved[k]);
    rtlib_set_uncle_hook(except_uncle);
    rtlib_latch_rearm();
    rtlib_unwinding = 0;
  }
  ~HookScope() {
    rtlib_set_uncle_hook(nullptr);
    rtlib_latch_rearm();
    rtlib_unwinding = 0;
    rtlib_release_signals();
    for (int k = 0; k < 5; k++) sigaction(signals[k], &saved[k], nullptr);
  }
  // The handler now installed for sig.
  static void *handler(int sig) {
    struct sigaction sa;
    sigaction(sig, nullptr, &sa);
    return (sa.sa_flags & SA_SIGINFO) ? reinterpret_cast<void *>(sa.sa_sigaction)
                                      : reinterpret_cast<void *>(sa.sa_handler);
  }
};

// Runs the report that follows a fatal error at the catch point: its own jump
// with code 11, which re-arms the latch.
inline void finish_report(const char *home) {
  except_catch(home, [] { except_jump(EXCEPT_REPORTED); });
}
