// vectorbase: the one piece of the shared container code that is not a template,
// the number field of the listings of the floating kinds.
#include "runtime/vectorbase.h"

// Writes x formatted with the default digit count under the given text format.
// Provisional: printf's %g until the system's number formatter is in the strings module.
void vecbase_print_real_field(FILE *f, double x, const char *format) {
  char text[32];
  snprintf(text, sizeof text, "% .7g", x);
  fprintf(f, format, text);
}
