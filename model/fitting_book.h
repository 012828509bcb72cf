// fitting_book: the model's bookkeeping of a problem's derived global values (fits,
// saved copies, extremes, integrals, values at points): which are valid, what each
// depends on, and the domain selections of the integrals. The solver computes them.
#pragma once
#include <cstdint>

struct pde;
struct vectorn;
struct vector2d;
struct constraint;

// Makes every listed derived global valid (dependencies first) for the solution u at
// times[1]; the cell finder is rebuilt first. A global that depends on itself is not
// validated again while it is being validated. Errors are located errors on the
// global's source text ("Coordinate Point Expected", ...).
void fitting_validate_fits(pde *p, const vectorn *list, vector2d *u, const double times[2]);
// The same with the pair given as two values.
void fitting_validate_fits(pde *p, const vectorn *list, vector2d *u, double t0, double t1);
// Clears the valid flag of every derived global whose invalidation level is >= level
// (1 after a mesh change, 3 after a solution change).
void fitting_invalidate_fits(pde *p, int32_t level);

// The computation behind fitting_validate_fits, installed by the solver at start-up;
// until then validating a non-empty list is a fatal error.
typedef void (*fitting_validator)(pde *p, const vectorn *list, vector2d *u, const double times[2]);
void fitting_set_validator(fitting_validator v);

// Closes the list of derived-global numbers under dependency: walks it from its first
// entry to its end while it grows, appending once each the dependencies of every
// listed derived global.
void fitting_fit_closure(pde *p, vectorn *list);

// The selections of an integral from its selectors (names or numbers): the regions of a
// volume integral (region, then layer; in 3D a region number stands for every layer copy
// of the region), the faces of a surface integral (by surface, path, region, layer,
// UPPER or LOWER, each face from one side only), the path edges and regions of a
// boundary integral. A name or number that selects nothing is a located error ("Can't
// Find Region " + name, "Can't Find Layer " + number, ...).
void fitting_map_fit_regions(pde *p, uint16_t fit);
void fitting_map_fit_faces(pde *p, uint16_t fit);
void fitting_map_fit_boundaries(pde *p, uint16_t fit);
// Sizes the constraint's four selections and ORs in those of every integral its tree
// uses, directly or through the definitions it names.
void fitting_map_constraint_fits(pde *p, constraint *c);
