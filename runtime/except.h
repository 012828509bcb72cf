// except: the error hook that turns the first fatal error into a jump to the main
// routine's catch point, the jump itself, and the catch harness around a body.
#pragma once
#include "runtime/strings.h"

// Catch codes: a reported error abandoned the current command, or a fatal error
// reached the hook.
enum { EXCEPT_REPORTED = 11, EXCEPT_FATAL = 99 };

// The one dedicated type of the jump back to the catch point. Nothing catches it
// but the catch harness (and a boundary with a C callback, which stores and rethrows).
struct ExceptJump {
  int code;
};

extern String fatal_message;

int except_init();
[[noreturn]] void except_jump(int code);
[[noreturn]] void except_uncle(String *message);

// True while a catch harness is active, so the hook has somewhere to jump to.
bool except_catch_active();

// Runs body() under the catch point. Returns 0 when body returns, or the code of
// the jump that ended it. On landing, the stack is unwound to home (after the
// traceback is written for a fatal error), the floating-point traps and the
// signal handlers are re-armed unless default handling was asked for.
template <class F> int except_catch(const char *home, F &&body);

// The landing work the harness does after catching a jump.
void except_land(const char *home, int code);
// With rearm_signals false (option D) the handlers stay at the default handling.
void except_set_rearm_signals(bool on);

// Counts the catch harnesses entered: a jump outside any is the terminating path.
extern int except_depth;

template <class F> int except_catch(const char *home, F &&body) {
  ++except_depth;
  try {
    body();
  } catch (ExceptJump &jump) {
    --except_depth;
    except_land(home, jump.code);
    return jump.code;
  } catch (...) {
    --except_depth;
    throw;
  }
  --except_depth;
  return 0;
}
