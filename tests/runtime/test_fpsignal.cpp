// Floating-point traps and memory faults become fatal errors through UNCLE.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <string>

#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/runtime/harness.h"

namespace {

volatile double zero = 0.0, one = 1.0, huge = 1e308, sink;

void divide_by_zero() {
  TRACE("divide_0");
  sink = one / zero;
}
void overflow() { sink = huge * huge; }
volatile int *volatile wild = nullptr;
void protection_fault() { *wild = 1; }

// The fatal text of body, reported and finished as the catch point does.
template <class F> std::string caught(F &&body) {
  if (except_catch("home", body) != EXCEPT_FATAL) return "no fatal error";
  std::string text = fatal_message.text;
  finish_report("home");
  return text;
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
  sink = zero / zero;
  EXPECT_TRUE(std::isnan(sink));
  for (int round = 0; round < 3; round++) EXPECT_EQ(caught(divide_by_zero), "Floating-Point Divide by Zero");
  std::string t = log.text();
  EXPECT_NE(t.find("FP_ERROR 4\n---CALLED FROM divide_0\n"), std::string::npos) << t;
  EXPECT_EQ(caught(overflow), "Floating-Point Overflow");
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
  uint32_t p53 = rtlib_fpu_control_word() & 0x0300;
  rtlib_fpu_precision64();
  EXPECT_EQ(p53 * 0x1000 + (rtlib_fpu_control_word() & 0x0300), 0x0200u * 0x1000 + 0x0300u);
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

// A stop caught by the test harness leaves the handlers it found for the tests after
// it (every landing installs the program's handlers again).
TEST(Signals, ACaughtStopLeavesTheHandlersItFound) {
  void *fpe = HookScope::handler(SIGFPE), *segv = HookScope::handler(SIGSEGV);
  {
    HookScope hook;
    EXPECT_EQ(except_catch("home", [] { except_jump(EXCEPT_REPORTED); }), EXCEPT_REPORTED);
    EXPECT_NE(HookScope::handler(SIGFPE), fpe) << "the landing installs the handlers";
  }
  EXPECT_EQ(HookScope::handler(SIGFPE), fpe);
  EXPECT_EQ(HookScope::handler(SIGSEGV), segv);
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
  for (int round = 0; round < 2; round++) EXPECT_EQ(caught(protection_fault), "Memory Protection Fault");
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
