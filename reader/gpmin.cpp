// gpmin, headless: the macro generator passes text through unchanged.
#include "reader/gpmin.h"

void gpmin_init_gpm() {}
void gpmin_close_gpm() {}
