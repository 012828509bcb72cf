// dominpde: the link between the domain and the problem's formulas and materials.
#pragma once

struct Domain;

int dominpde_init();

// Orders the domain's materials so that every region maps to a material index.
void dominpde_sort_materials(Domain *d);
