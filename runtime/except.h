// except: the error hook that turns the first fatal error into a jump to the main
// routine's catch point, the jump itself, and the catch harness around a body.
//
// The fatal-error path, in order:
//  1. A fatal stop (rtlib_fatal_in, a trace mismatch, a trap or fault handler) calls
//     UNCLE. With the hook installed and the latch at 0, UNCLE sets the latch to 1
//     and calls except_uncle; otherwise it takes the terminating path (log line,
//     traceback, message box, exit 1).
//  2. except_uncle writes the message to the debug log and standard output, copies
//     it into pending_message (no traced call: the trace stack may be full) and
//     jumps with code 99.
//  3. except_jump: with no catch harness active (except_depth 0) it takes the
//     terminating path with the message. Otherwise, for code 99, it writes the
//     traceback of the calls the jump abandons; it unwinds the trace stack to the
//     harness's home name and sets rtlib_unwinding, so that the trace guards of the
//     frames the jump leaves do not pop, while the routines that run during the
//     unwinding push and pop above home; and throws ExceptJump.
//  4. The harness lands (except_land): it clears rtlib_unwinding; for code 99 it
//     sets reporting_fatal; it unwinds the trace stack to the harness's home name, moves pending_message into
//     fatal_message, restores the floating-point environment in force when the
//     harness was entered (a trap handler leaves the kernel's clean one) and, while
//     rearm_signals is set (it is cleared by option D), installs the signal
//     handlers again.
//  5. The main routine reports fatal_message as an execution error on the current
//     problem; that report jumps again, with code 11.
//  6. Landing with code 11 while reporting_fatal is set clears it and re-arms the
//     latch: a fatal error during the report itself still ends the program, any
//     later one is reported again.
// A reported error (code 11) with no harness active ends the same way (step 3),
// with the report's message.
#pragma once
#include "runtime/rtlib.h"
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
// Jumps to the catch point with the code; without an active harness it ends the
// program through the terminating path with the message.
[[noreturn]] void except_jump(int code, const char *message = "ERROR");
[[noreturn]] void except_uncle(String *message);

// True while a catch harness is active, so the hook has somewhere to jump to.
bool except_catch_active();

// Runs body() under the catch point. Returns 0 when body returns, or the code of
// the jump that ended it. On landing, the stack is unwound to home (after the
// traceback is written for a fatal error), the floating-point environment is the one
// the harness was entered with, and the signal handlers are re-armed unless default
// handling was asked for.
template <class F> int except_catch(const char *home, F &&body);

// The landing work the harness does after catching a jump; entry is the
// floating-point environment saved when the harness was entered.
void except_land(const char *home, int code, const fenv_t *entry);
// With rearm_signals false (option D) the handlers stay at the default handling.
void except_set_rearm_signals(bool on);

// Counts the catch harnesses entered: a jump outside any is the terminating path.
extern int except_depth;
// The home name of the innermost active harness, to which a jump unwinds the trace stack.
extern const char *except_home;

template <class F> int except_catch(const char *home, F &&body) {
  fenv_t entry;
  rtlib_fpu_save(&entry);
  ++except_depth;
  const char *outer = except_home;
  except_home = home;
  try {
    body();
    // A trap held in code that no trace guard followed is raised before the harness is left.
    rtlib_trap_check();
  } catch (ExceptJump &jump) {
    --except_depth;
    except_home = outer;
    except_land(home, jump.code, &entry);
    return jump.code;
  } catch (...) {
    --except_depth;
    except_home = outer;
    throw;
  }
  --except_depth;
  except_home = outer;
  return 0;
}
