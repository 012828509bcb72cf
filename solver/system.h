// system: the solver's handling of the assembled system record (model/system_record.h)
// as a whole.
#pragma once

struct System;

// Releases the layout, matrices, vectors and tables of the system, leaving it empty for
// the next layout.
void system_release(System *s);
