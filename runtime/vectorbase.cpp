// vectorbase: the shared container code outside the templates,
// the number field of the listings of the floating kinds.
#include "runtime/vectorbase.h"

#include "runtime/strings.h"

// Writes x, formatted by strings_fmt with the default digit count, under the given
// text format.
void vecbase_print_real_field(FILE *f, double x, const char *format) {
  String s = {};
  strings_fmt(&s, x);
  fprintf(f, format, s.text ? s.text : "");
  strings_free_0(&s);
}
