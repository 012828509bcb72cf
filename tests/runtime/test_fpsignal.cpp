// Floating-point traps and memory faults become fatal errors through UNCLE.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <string>

#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/runtime/harness.h"

namespace {

volatile double zero = 0.0, one = 1.0, huge = 1e308;
volatile double sink;

void divide_by_zero() {
  TRACE("divide_0");
  sink = one / zero;
}
void overflow() {
  TRACE("overflow_0");
  sink = huge * huge;
}
void invalid() {
  TRACE("invalid_0");
  sink = zero / zero;
}
void protection_fault() {
  TRACE("fault_0");
  volatile int *volatile p = nullptr;
  *p = 1;
}

struct Armed {
  HookScope hook;
  Armed() { rtlib_startup(0, nullptr); }
  ~Armed() {
    rtlib_release_signals();
    rtlib_fpu_default();
  }
};

}  // namespace

TEST(FloatingPoint, TrapsAreReportedEveryTime) {
  Armed armed;
  LogCapture log;
  // An earlier invalid operation is masked: it yields NaN and leaves a sticky flag
  // that must not change the cause reported later.
  invalid();
  EXPECT_TRUE(std::isnan(sink));
  for (int round = 0; round < 3; round++) {
    ASSERT_EQ(except_catch("home", [] { divide_by_zero(); }), EXCEPT_FATAL) << "round " << round;
    EXPECT_STREQ(fatal_message.text, "Floating-Point Divide by Zero");
    finish_report("home");
  }
  std::string t = log.text();
  EXPECT_NE(t.find("FP_ERROR 4\n"), std::string::npos) << t;
  EXPECT_NE(t.find("---CALLED FROM divide_0\n"), std::string::npos) << t;
  ASSERT_EQ(except_catch("home", [] { overflow(); }), EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, "Floating-Point Overflow");
  finish_report("home");
  volatile double tiny = 1e-300;
  sink = tiny * tiny;  // underflow does not trap
  EXPECT_EQ(sink, 0.0);
}

TEST(FloatingPoint, ControlWordAndPrecision) {
  Armed armed;
  uint32_t cw = rtlib_fpu_control_word();
  EXPECT_EQ(cw & 0x3f, 0x33u) << "zero divide and overflow unmasked";
  EXPECT_EQ(cw & 0x0300, 0x0300u) << "64-bit precision";
  rtlib_fpu_precision53();
  EXPECT_EQ(rtlib_fpu_control_word() & 0x0300, 0x0200u);
  rtlib_fpu_precision64();
  EXPECT_EQ(rtlib_fpu_control_word() & 0x0300, 0x0300u);
  rtlib_fpu_chop();
  volatile double third = one / 10.0;
  rtlib_fpu_nearest();
  volatile double third_nearest = one / 10.0;
  EXPECT_LT(third, third_nearest) << "truncation rounds 1/10 down";
}

// The handler of SIGSEGV now installed.
static void *segv_handler() {
  struct sigaction sa;
  sigaction(SIGSEGV, nullptr, &sa);
  return reinterpret_cast<void *>(sa.sa_sigaction);
}

#ifdef QUENDAR_SANITIZE
TEST(Signals, MemoryFaultsStayWithTheSanitizer) {
  void *before = segv_handler();
  Armed armed;
  EXPECT_EQ(segv_handler(), before);
  rtlib_release_signals();
  EXPECT_EQ(segv_handler(), before);
}
#else
TEST(Signals, MemoryFaultIsReportedAndCaughtAgain) {
  void *before = segv_handler();
  Armed armed;
  EXPECT_NE(segv_handler(), before);
  for (int round = 0; round < 2; round++) {
    int code = except_catch("home", [] { protection_fault(); });
    ASSERT_EQ(code, EXCEPT_FATAL);
    EXPECT_STREQ(fatal_message.text, "Memory Protection Fault");
    finish_report("home");
  }
}
#endif

TEST(SignalsDeath, ReleasedHandlersGiveDefaultHandling) {
  EXPECT_EXIT(
      {
        rtlib_startup(0, nullptr);
        rtlib_release_signals();
        divide_by_zero();
      },
      testing::KilledBySignal(SIGFPE), "");
}
