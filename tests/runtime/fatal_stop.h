// Runs a call that may stop with a fatal error under the hook and the catch
// harness, and returns the fatal text ("" when the call returned normally).
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tests/runtime/harness.h"
#include "tests/tempfiles.h"

// The fatal text is kept in a String whose storage counts in XMEM; it is grown to
// its largest size before any test, so that a fatal stop leaves XMEM unchanged.
inline const bool fatal_stop_ready = [] {
  strings_copyto_1(&fatal_message, std::string(83, '.').c_str());
  return true;
}();

template <class F> std::string fatal_stop(F &&body) {
  HookScope hook;
  LogCapture log;
  int code = except_catch("home", body);
  if (code == 0) return "";
  std::string text = code == EXCEPT_FATAL ? fatal_message.text : "jump " + std::to_string(code);
  finish_report("home");
  return text;
}

// Runs body under the catch harness and expects the fatal stop with this text.
template <class F> void expect_fatal(const std::string &text, F &&body) { EXPECT_EQ(fatal_stop(body), text); }
