// The run-control tests share one debug log, opened in a temporary directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "control/pdedat.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/control/fixture.h"
#include "tests/tempfiles.h"

static std::string debug_log_path;

long debug_mark() {
  fflush(debug_file);
  FILE *f = fopen(debug_log_path.c_str(), "rb");
  fseek(f, 0, SEEK_END);
  long n = ftell(f);
  fclose(f);
  return n;
}

std::string debug_since(long mark) {
  fflush(debug_file);
  FILE *f = fopen(debug_log_path.c_str(), "rb");
  fseek(f, mark, SEEK_SET);
  std::string out = slurp_stream(f);
  fclose(f);
  return out;
}

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  char t[] = "/tmp/quendar-dbg-XXXXXX";
  debug_log_path = std::string(mkdtemp(t)) + "/quendar.dbg";
  if (!debug_debug_on(debug_log_path.c_str())) return 2;
  pdedat_init();
  int rc = RUN_ALL_TESTS();
  debug_debug_off();
  remove(debug_log_path.c_str());
  remove(t);
  return rc;
}
