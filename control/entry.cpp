// Program entry: starts the runtime and initialises the modules that exist so far.
#include <cstdio>

#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"

int main(int argc, char **argv) {
  rtlib_startup(argc, argv);
  if (int rc = debug_init()) return printf("debug returns %d\n", rc), rc;
  if (int rc = strings_init()) return printf("strings returns %d\n", rc), rc;
  if (int rc = except_init()) return printf("except returns %d\n", rc), rc;
  printf("Quendar: the runtime is up; descriptors cannot be run yet.\n");
  return 0;
}
