// fitting: the derived global values of a problem (fits, saved copies, extremes,
// integrals, values at points): computed on demand, kept valid until the mesh or the
// solution changes, and the domain selections of the integrals.
#pragma once
#include <cstdint>

struct pde;
struct vectorn;
struct vector2d;
struct constraint;
struct MeshCell;
struct Edge;

// The FITTING debug switch: the first writes the fit matrices, the second the values.
extern uint8_t fitting_debug, fitting_debug2;

int fitting_init();

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

// Writes the fit index k and the mesh basis code into the prebuilt FIT trees.
void fitting_patch_fitrees(int32_t code, uint16_t k);

// The direction of side `side` (1..3) of a triangle against the edge's own direction:
// positive when they run the same way.
double edgedot(pde *p, const MeshCell *cell, int side, const Edge *e);
