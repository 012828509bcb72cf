// ppde, until the reader is built: every parse is an execution error that says so.
#include "reader/ppde.h"

#include <cstring>

#include "control/pdedat.h"
#include "runtime/rtlib.h"

void ppde_parse() {
  static const char text[] = "Descriptor reader not available";
  String m{uint16_t(strlen(text)), uint16_t(strlen(text)), const_cast<char *>(text)};
  pdedat_exec_err_1(&m);
}

int ppde_init() {
  TRACE("ppde");
  return 0;
}
