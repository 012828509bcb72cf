// The trace stack, UNCLE and the catch harness.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/runtime/harness.h"

namespace {

// Saves the program-wide stack and starts a test with an empty, never-used one.
struct FreshStack {
  const char **slots = rtlib_trace_slots;
  int32_t top = rtlib_trace_top, size = rtlib_trace_size;
  FreshStack() {
    rtlib_trace_slots = nullptr;
    rtlib_trace_top = rtlib_trace_size = 0;
  }
  ~FreshStack() {
    free(rtlib_trace_slots);
    rtlib_trace_slots = slots;
    rtlib_trace_top = top;
    rtlib_trace_size = size;
  }
};

const char kA[] = "a", kB[] = "b", kC[] = "c";

volatile bool fail_in_a = true;
void fn_a() {
  TRACE(kA);
  if (fail_in_a) rtlib_fatal_in(kA, "SOMETHING WRONG");
}
void fn_b(int depth) {
  TRACE(kB);
  depth > 1 ? fn_b(depth - 1) : fn_a();
}
void fn_c() {
  TRACE(kC);
  fn_b(3);
}

int32_t depth_seen = 0;
void nest(int n) {
  TRACE("nest");
  if (n > 1) nest(n - 1);
  else depth_seen = rtlib_trace_size - rtlib_trace_top;
}

// Leaves an extra entry on the stack, so its exit finds a stranger on top.
void unbalanced() {
  TRACE("unbalanced_0");
  rtlib_trace_slots[--rtlib_trace_top] = "stray";
}

// Runs body under the hook and the harness; returns the fatal text and the log.
template <class F> std::string fatal(F &&body, std::string *log = nullptr) {
  HookScope hook;
  LogCapture capture;
  EXPECT_EQ(except_catch("home", body), EXCEPT_FATAL);
  if (log) *log = capture.text();
  std::string text = fatal_message.text;
  finish_report("home");
  EXPECT_EQ(rtlib_latch(), 0);
  return text;
}

}  // namespace

TEST(TraceStack, GrowsInStepsOf1024UpTo8192) {
  FreshStack fresh;
  {
    TRACE("first");
    EXPECT_EQ(rtlib_trace_size * 10000 + rtlib_trace_top, 10241023);
  }
  nest(1500);
  EXPECT_EQ(depth_seen, 1500);
  EXPECT_EQ(rtlib_trace_size * 10000 + rtlib_trace_top, 20482048);  // all popped again
  nest(8192);
  EXPECT_EQ(rtlib_trace_size, 8192);
  std::string log;
  EXPECT_EQ(fatal([] { nest(8193); }, &log), "TRACEBACK OVERFLOW.");
  // The traceback was written at the catch point, folded to one line; unwinding
  // to a name not on the stack empties it.
  EXPECT_EQ(log, "(8191)CALLED FROM nest\n");
  EXPECT_EQ(rtlib_trace_top, rtlib_trace_size);
}

TEST(TraceStack, GrowthMovesOldEntriesUpByOneStep) {
  FreshStack fresh;
  rtlib_trace_grow();
  static char store[1024][8];
  for (int i = 0; i < 1024; i++) {
    snprintf(store[i], sizeof store[i], "%d", i);
    rtlib_trace_slots[i] = store[i];
  }
  rtlib_trace_top = 0;  // 1024 live entries
  {
    TRACE("more");
    EXPECT_EQ(rtlib_trace_size * 10000 + rtlib_trace_top, 20481023);
    for (int i = 0; i < 1024; i++) ASSERT_EQ(rtlib_trace_slots[1024 + i], store[i]);
  }
}

TEST(TraceStack, UnwindStopsAtTheNameAndTracebackWithoutData) {
  FreshStack fresh;
  LogCapture log;
  rtlib_traceback();
  EXPECT_EQ(log.text(), "*NO TRACEBACK DATA*");
  rtlib_trace_unwind("nothing");  // no stack yet: nothing happens
  EXPECT_EQ(rtlib_trace_size, 0);
  static const char home[] = "home";
  TRACE(home);
  rtlib_trace_top -= 3;
  rtlib_trace_unwind(home);
  EXPECT_EQ(rtlib_trace_top, 1023);
}

TEST(Uncle, FatalTextsAndTraceback) {
  FreshStack fresh;
  std::string log;
  EXPECT_EQ(fatal([] { fn_c(); }, &log), "SOMETHING WRONG IN a");
  EXPECT_EQ(log, "---CALLED FROM a\n(2)CALLED FROM b\n---CALLED FROM c\n");
  EXPECT_EQ(fatal([] { unbalanced(); }), "STACK ERROR LEAVING unbalanced_0");
  std::string where(100, 'w');
  EXPECT_EQ(fatal([&] { rtlib_fatal_in(where.c_str(), "LONG"); }), "LONG IN " + std::string(75, 'w'));  // 83 characters
  // A second fatal error, much later, reaches the hook again.
  EXPECT_EQ(fatal([] { rtlib_fatal_in("g", "SECOND"); }), "SECOND IN g");
}

TEST(UncleDeath, TerminatingPaths) {
  // No hook: log line, traceback, message box, exit 1.
  EXPECT_EXIT(
      {
        rtlib_set_uncle_hook(nullptr);
        static const char outer[] = "outer_0";
        TRACE(outer);
        rtlib_fatal_in("inner_0", "BROKEN");
      },
      testing::ExitedWithCode(1), "BROKEN IN inner_0\n---CALLED FROM outer_0.*Error: BROKEN IN inner_0");
  // A fatal error during the report of the first one.
  EXPECT_EXIT(
      {
        rtlib_set_uncle_hook(except_uncle);
        except_catch("home", [] { rtlib_fatal_in("f", "FIRST"); });
        except_catch("home", [] { rtlib_fatal_in("report", "DURING REPORT"); });
      },
      testing::ExitedWithCode(1), "DURING REPORT IN report");
  // The hook, or a reported error, before any catch point exists.
  EXPECT_EXIT(
      {
        rtlib_set_uncle_hook(except_uncle);
        rtlib_fatal_in("early", "BEFORE CATCH");
      },
      testing::ExitedWithCode(1), "BEFORE CATCH IN early");
  EXPECT_EXIT(except_jump(EXCEPT_REPORTED, "REPORTED AT START"), testing::ExitedWithCode(1),
              "Error: REPORTED AT START");
}

namespace {

int released = 0;
void release_one() {
  TRACE("release_one");
  released++;
}
// A frame whose scope release runs traced routines while the jump leaves it.
void abandon_with_releases(int n) {
  TRACE("abandon");
  struct Release {
    int n;
    ~Release() {
      for (int k = 0; k < n; k++) release_one();
    }
  } release{n};
  nest(8193);  // a full stack: TRACEBACK OVERFLOW
}

}  // namespace

// The routines a destructor runs while the jump propagates push and pop as usual, and
// find room even when the error was a full stack: the stack is unwound to the harness's
// home before the jump leaves any frame. Before, each such call was pushed and never
// popped, and the ten-thousandth overflowed the stack while unwinding.
TEST(TraceStack, ReleasesDuringTheJumpPopAndFindRoom) {
  FreshStack fresh;
  static const char home[] = "home";
  TRACE(home);
  int32_t depth = rtlib_trace_size - rtlib_trace_top;  // growth moves the entries, not their depth
  released = 0;
  std::string log;
  {
    HookScope hook;
    LogCapture capture;
    EXPECT_EQ(except_catch(home, [] { abandon_with_releases(10000); }), EXCEPT_FATAL);
    log = capture.text();
    EXPECT_STREQ(fatal_message.text, "TRACEBACK OVERFLOW.");
    finish_report(home);
  }
  EXPECT_EQ(released, 10000);
  EXPECT_EQ(rtlib_trace_size - rtlib_trace_top, depth);
  EXPECT_EQ(rtlib_trace_slots[rtlib_trace_top], home);
  // The traceback still names the abandoned calls.
  EXPECT_NE(log.find("CALLED FROM abandon"), std::string::npos) << log;
}
