// fitting: the derived global values (fits and integrals) of a problem.
#pragma once
#include <cstdint>

struct pde;
struct vectorn;
struct constraint;
struct vector2d;

int fitting_init();

// Makes every listed derived global valid for the solution at the times (t0, t1);
// until the fitting computations exist it leaves them as they are.
void fitting_validate_fits(pde *p, const vectorn *list, vector2d *values, double t0, double t1);
// Marks the problem's fitted values stale (for a new stage).
void fitting_invalidate_fits(pde *p, int32_t flag);

// Closes the list of derived-global numbers under dependency: walks it from its first
// entry to its end while it grows, appending once each the dependencies of every
// listed derived global.
void fitting_fit_closure(pde *p, vectorn *list);

// The selections of derived globals and constraints, filled from their definitions:
// the regions of a volume integral, the faces of a surface integral, the boundaries of
// a line integral, and the integrals a constraint or scalar equation refers to. Until
// assembly exists these leave the selections as they are.
void fitting_map_fit_regions(pde *p, uint16_t fit);
void fitting_map_fit_faces(pde *p, uint16_t fit);
void fitting_map_fit_boundaries(pde *p, uint16_t fit);
void fitting_map_constraint_fits(pde *p, constraint *c);
