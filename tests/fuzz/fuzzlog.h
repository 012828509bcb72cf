// The text written so far to a fuzz target's batch log (a temporary stream).
#pragma once
#include <cstdio>
#include <string>

inline std::string fuzz_log_text(FILE *log) {
  fflush(log);
  std::string out;
  rewind(log);
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, log)) > 0;) out.append(buf, n);
  return out;
}
