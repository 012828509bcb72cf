// init: the initial values of a problem's variables.
#pragma once

struct pde;

int init_init();

// Sets the initial values of all variables at the start time.
void init_initial_val(pde *p, double start);
