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
    rtlib_trace_top = 0;
    rtlib_trace_size = 0;
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
  if (depth > 1) fn_b(depth - 1);
  else fn_a();
}
void fn_c() {
  TRACE(kC);
  fn_b(3);
}

void nest(int n) {
  TRACE("nest");
  if (n > 1) nest(n - 1);
}

int32_t depth_seen = 0;
void nest_and_look(int n) {
  TRACE("look");
  if (n > 1) nest_and_look(n - 1);
  else depth_seen = rtlib_trace_size - rtlib_trace_top;
}

// Leaves an extra entry on the stack, so its caller's exit finds a stranger on top.
void unbalanced() {
  TRACE("unbalanced_0");
  {
    rtlib_trace_top--;
    rtlib_trace_slots[rtlib_trace_top] = "stray";
  }
}
void caller_of_unbalanced() {
  TRACE("caller_0");
  unbalanced();
}

}  // namespace

TEST(TraceStack, GrowsInStepsOf1024UpTo8192) {
  FreshStack fresh;
  {
    TRACE("first");
    EXPECT_EQ(rtlib_trace_size, 1024);
    EXPECT_EQ(rtlib_trace_top, 1023);
    EXPECT_STREQ(rtlib_trace_slots[1023], "first");
  }
  EXPECT_EQ(rtlib_trace_top, 1024);
  nest_and_look(1500);
  EXPECT_EQ(depth_seen, 1500);
  EXPECT_EQ(rtlib_trace_size, 2048);
  EXPECT_EQ(rtlib_trace_top, 2048);  // all popped again
  nest(8192);
  EXPECT_EQ(rtlib_trace_size, 8192);
}

TEST(TraceStack, GrowthMovesOldEntriesUpByOneStep) {
  FreshStack fresh;
  // Fill exactly 1024 entries by hand, then push once more.
  rtlib_trace_grow();
  static const char *names[1024];
  static char store[1024][8];
  for (int i = 0; i < 1024; i++) {
    snprintf(store[i], sizeof store[i], "%d", i);
    names[i] = store[i];
    rtlib_trace_slots[i] = names[i];
  }
  rtlib_trace_top = 0;
  {
    TRACE("more");
    EXPECT_EQ(rtlib_trace_size, 2048);
    EXPECT_EQ(rtlib_trace_top, 1023);
    for (int i = 0; i < 1024; i++) ASSERT_EQ(rtlib_trace_slots[1024 + i], names[i]);
  }
  EXPECT_EQ(rtlib_trace_top, 1024);
}

TEST(TraceStack, NestingBeyond8192IsTracebackOverflow) {
  FreshStack fresh;
  HookScope hook;
  LogCapture log;
  int code = except_catch("home", [] { nest(8193); });
  EXPECT_EQ(code, EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, "TRACEBACK OVERFLOW.");
  EXPECT_EQ(rtlib_trace_top, rtlib_trace_size) << "unwinding to a name not on the stack empties it";
  // The traceback was written at the catch point, folded to one line.
  EXPECT_EQ(log.text(), "(8191)CALLED FROM nest\n");
  finish_report("home");
  EXPECT_EQ(rtlib_latch(), 0);
}

TEST(TraceStack, UnbalancedExitIsStackError) {
  FreshStack fresh;
  HookScope hook;
  LogCapture log;
  int code = except_catch("home", [] { caller_of_unbalanced(); });
  EXPECT_EQ(code, EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, "STACK ERROR LEAVING unbalanced_0");
  finish_report("home");
}

TEST(TraceStack, UnwindStopsAtTheNameOrEmptiesTheStack) {
  FreshStack fresh;
  rtlib_trace_unwind("nothing");  // no stack yet: nothing happens
  EXPECT_EQ(rtlib_trace_size, 0);
  static const char home[] = "home";
  TRACE(home);
  rtlib_trace_top -= 3;
  rtlib_trace_slots[rtlib_trace_top] = "x";
  rtlib_trace_slots[rtlib_trace_top + 1] = "y";
  rtlib_trace_slots[rtlib_trace_top + 2] = "z";
  rtlib_trace_unwind(home);
  EXPECT_EQ(rtlib_trace_slots[rtlib_trace_top], home);
  EXPECT_EQ(rtlib_trace_top, 1023);
}

TEST(TraceStack, TracebackBeforeAnyCallHasNoData) {
  FreshStack fresh;
  LogCapture log;
  rtlib_traceback();
  EXPECT_EQ(log.text(), "*NO TRACEBACK DATA*");
}

TEST(Uncle, RepeatedNamesFoldIntoOneLine) {
  FreshStack fresh;
  HookScope hook;
  LogCapture log;
  int code = except_catch("home", [] { fn_c(); });
  EXPECT_EQ(code, EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, "SOMETHING WRONG IN a");
  EXPECT_EQ(log.text(), "---CALLED FROM a\n(2)CALLED FROM b\n---CALLED FROM c\n");
  finish_report("home");
}

TEST(Uncle, MessagesAreCutTo83Characters) {
  HookScope hook;
  std::string where(100, 'w');
  int code = except_catch("home", [&] { rtlib_fatal_in(where.c_str(), "LONG"); });
  EXPECT_EQ(code, EXCEPT_FATAL);
  EXPECT_EQ(strlen(fatal_message.text), 83u);
  EXPECT_EQ(std::string(fatal_message.text, 8), "LONG IN ");
  finish_report("home");
}

TEST(Uncle, LatchIsRearmedOnlyAfterTheReportLands) {
  HookScope hook;
  EXPECT_EQ(except_catch("home", [] { rtlib_fatal_in("f", "FIRST"); }), EXCEPT_FATAL);
  EXPECT_EQ(rtlib_latch(), 1);
  finish_report("home");
  EXPECT_EQ(rtlib_latch(), 0);
  // A second fatal error, much later, reaches the hook again.
  EXPECT_EQ(except_catch("home", [] { rtlib_fatal_in("g", "SECOND"); }), EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, "SECOND IN g");
  finish_report("home");
}

TEST(UncleDeath, WithoutHookExitsOneAfterLogTracebackAndMessage) {
  EXPECT_EXIT(
      {
        rtlib_set_uncle_hook(nullptr);
        rtlib_set_log_file(nullptr);
        static const char outer[] = "outer_0";
        TRACE(outer);
        rtlib_fatal_in("inner_0", "BROKEN");
      },
      testing::ExitedWithCode(1), "BROKEN IN inner_0\n---CALLED FROM outer_0.*Error: BROKEN IN inner_0");
}

TEST(UncleDeath, FatalErrorDuringTheReportEndsTheProgram) {
  EXPECT_EXIT(
      {
        rtlib_set_uncle_hook(except_uncle);
        rtlib_latch_rearm();
        except_catch("home", [] { rtlib_fatal_in("f", "FIRST"); });
        // The report of FIRST is running: the latch is still set.
        except_catch("home", [] { rtlib_fatal_in("report", "DURING REPORT"); });
      },
      testing::ExitedWithCode(1), "DURING REPORT IN report");
}

TEST(UncleDeath, HookWithoutCatchPointTerminates) {
  EXPECT_EXIT(
      {
        rtlib_set_uncle_hook(except_uncle);
        rtlib_latch_rearm();
        rtlib_fatal_in("early", "BEFORE CATCH");
      },
      testing::ExitedWithCode(1), "BEFORE CATCH IN early");
}
