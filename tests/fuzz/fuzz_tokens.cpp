// Fuzz target of the tokenizer and the macro layer: any bytes are read as a text to
// its end, with the macro layer off and on. A run passes when every text ends in
// the end-of-text token or in a located error, without a crash, trap, leak or hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "reader/gpmin.h"
#include "reader/mtokeniz.h"
#include "runtime/textin.h"

namespace {

struct Located {};

void stop(TextLoc *, String *) { throw Located{}; }

void read_all(const std::string &bytes, bool macros) {
  if (macros) gpmin_init_gpm();
  String name = {};
  uint16_t n = textin_preset_text(&name, 0, bytes.c_str());
  try {
    while (mtokeniz_token(n) != TOKEN_EOF) {
    }
  } catch (Located &) {
  }
  textin_close_text(n);
  if (macros) gpmin_close_gpm();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = [] {
    mtokeniz_hook = stop;
    mtokeniz_set_char_class('{', MTOKENIZ_CM1A);
    mtokeniz_set_char_class('}', MTOKENIZ_CM1B);
    mtokeniz_set_char_class('!', MTOKENIZ_CM3);
    mtokeniz_set_char_class('/', MTOKENIZ_CM2AC);
    mtokeniz_set_char_class('*', MTOKENIZ_CM2B);
    return true;
  }();
  (void)ready;
  std::string bytes(reinterpret_cast<const char *>(data), size);
  read_all(bytes, false);
  read_all(bytes, true);
  return 0;
}
