// settings: the program-wide settings the layers below run control read. Run control
// fills them from the command line and its main routine, by these names.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"

struct RunSettings {
  uint8_t batch;       // option B: a batch run, reports go to the batch log
  char separator;      // the path separator; directory strings end with it
  String versiontext;  // product and version line, for banners and written files
  FILE *batchlog;      // the batch log (option B), null when none
};

extern RunSettings settings;
