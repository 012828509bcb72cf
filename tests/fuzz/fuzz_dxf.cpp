// Fuzz target of DXF import: any bytes are imported as a drawing in a batch run. A
// run passes when the import succeeds, or fails with "Illegal Group" or "Invalid
// Y-coord code" in the batch log, and always writes a descriptor, without a crash,
// trap, leak or hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "reader/rddxf.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/fuzz/fuzzlog.h"

namespace {

FILE *batch_log = nullptr;
std::string base;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = [] {
    rtlib_set_uncle_hook(except_uncle);
    report_hooks = pdedat_reports;  // as pdedat_init installs them
    settings.batch = 1;
    batch_log = tmpfile();
    settings.batchlog = batch_log;
    base = fuzz_temp_folder("fuzz_dxf") + "/drawing";
    return true;
  }();
  (void)ready;
  if (ftruncate(fileno(batch_log), 0) != 0) abort();
  rewind(batch_log);
  FILE *f = fopen((base + ".dxf").c_str(), "wb");
  fwrite(data, 1, size, f);
  fclose(f);
  remove((base + ".pde").c_str());
  String path = {};
  strings_copyto_1(&path, base.c_str());
  int32_t result = -1;
  int code = except_catch("fuzz_dxf", [&] { result = rddxf_scan_dxf(&path); });
  strings_free_0(&path);
  std::string log = fuzz_log_text(batch_log);
  bool reported = log.find(" ERROR: Illegal Group\n") != std::string::npos ||
                  log.find(" ERROR: Invalid Y-coord code\n") != std::string::npos;
  FILE *out = fopen((base + ".pde").c_str(), "rb");
  bool written = out != nullptr;
  if (out) fclose(out);
  if (code != 0 || !written || (result != 0 && !(result == 1 && reported))) {
    fprintf(stderr, "import ended with code %d, result %d, descriptor %d, log:\n%s\n", code, result, written, log.c_str());
    abort();
  }
  return 0;
}
