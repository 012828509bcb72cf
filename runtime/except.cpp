// except: the error hook and the catch harness of the main routine.
#include "runtime/except.h"

#include <cstdio>

#include "runtime/debug.h"
#include "runtime/rtlib.h"

String fatal_message;
int except_depth = 0;
static bool rearm_signals = true;
// Set while a fatal error that reached the hook is being reported: the latch is
// re-armed only once that report has landed.
static bool reporting_fatal = false;
// The hook may run with the trace stack full, so it copies the message without a
// traced call; the landing moves it into fatal_message once the stack is unwound.
static char pending_message[84];

int except_init() {
  TRACE("except");
  return 0;
}

const char *except_home = nullptr;

// A fatal error's traceback is written before the jump leaves any frame, and the trace
// stack is unwound to the harness's home at once: the releases that run while the jump
// propagates (a deep tree freed node by node) then find the whole stack free, even when
// the error was a full stack.
void except_jump(int code, const char *message) {
  if (!except_catch_active()) rtlib_terminate(message);
  if (code == EXCEPT_FATAL) {
    rtlib_traceback();
    fflush(rtlib_log_file());
  }
  if (except_home) rtlib_trace_unwind(except_home);
  rtlib_unwinding = 1;
  throw ExceptJump{code};
}

bool except_catch_active() { return except_depth > 0; }

void except_uncle(String *message) {
  debug_dbshow(message->text);
  snprintf(pending_message, sizeof pending_message, "%.*s", static_cast<int>(message->length), message->text);
  except_jump(EXCEPT_FATAL, message->text);
}

void except_set_rearm_signals(bool on) { rearm_signals = on; }

// A fatal error gets its traceback written before the stack is unwound; the report
// that follows lands here again with code 11, and only then is the latch re-armed,
// so a fatal error inside that report still ends the program.
void except_land(const char *home, int code, const fenv_t *entry) {
  rtlib_unwinding = 0;
  rtlib_trap_pending = 0;
  if (code == EXCEPT_FATAL) {
    reporting_fatal = true;
  } else if (reporting_fatal) {
    reporting_fatal = false;
    rtlib_latch_rearm();
  }
  rtlib_trace_unwind(home);
  if (code == EXCEPT_FATAL) strings_copyto_1(&fatal_message, pending_message);
  rtlib_fpu_restore(entry);
  if (rearm_signals) rtlib_catch_signals();
}
