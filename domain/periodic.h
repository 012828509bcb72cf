// periodic: the table of periodic declarations of a domain.
#pragma once
#include "domain/domain.h"

int periodic_init();

// Appends a zeroed declaration (the table grows to capacity * 6 / 5 + 4) and returns
// the new count.
uint16_t periodic_one_more(periodictable *t);
// Releases every declaration's mapping tree and lists, then the table.
void periodic_free(periodictable *t);
