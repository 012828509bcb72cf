// dominpde: the link between the domain and the problem's formulas: boundary-condition
// tags combined on joints and edges and their lookups, the preparation of a parsed domain
// for meshing (splitting and merging edges, periodic transforms and images, surface
// checks, materials) and the construction of the boundary spacing features.
#pragma once
#include <cstdint>

struct Domain;
struct FormulaSet;
struct pad;
struct pde;
struct paramset;

int dominpde_init();

// ---- Boundary conditions --------------------------------------------------------------
// Gives every joint of the problem's domain the tag of the conditions of its own tag, the
// edges that end at it and the faces that touch it, merged in that order.
void dominpde_joint_bcs(pde *p);
// Gives every edge the tag of its own conditions merged with those of its faces (3D).
void dominpde_edge_bcs(pde *p);

// ---- Preparation ----------------------------------------------------------------------------
// Cuts edge e at joint j lying on it; the new edge (e's first part) takes e's tags and
// periodic declaration and is entered in the loops beside e, keeping each loop a chain.
// Returns its number. A joint that already belongs to another declaration stops with
// "Intersecting Periodic Boundaries".
uint16_t dominpde_split_edge(Domain *d, uint16_t e, uint16_t j);
// Makes every joint lying inside an edge, and every crossing of two edges, a joint of
// the edges concerned.
void dominpde_split_edges(Domain *d);
// Merges lines, and arcs with one centre, that join the same two joints.
void dominpde_merge_edges(Domain *d);
// Removes edge victim in favour of keeper (negative when it runs the other way): its
// conditions, spacing and layer tags pass to the keeper, loops and periodic lists are
// renumbered and the table closes up. Conflicting conditions are the parse error
// "Multiple BC's Declared", two spacings "Multiple Node Spacing Definitions", both at the
// victim's place, on the current problem.
void replace_edge(Domain *d, uint16_t victim, int32_t keeper);
// Turns every periodic declaration's mapping into its forward and inverse transforms,
// sampled as an affine map; dimension 3 for extruded problems. A singular map is the
// parse error "Singular Transformation".
void dominpde_get_transforms(pde *p, uint16_t dimension);
// The first joint within the grid tolerance of joint j's image under declaration p, or 0.
uint16_t periodic_joint(const Domain *d, uint16_t j, uint16_t p);
// Pairs every periodic source edge with its image edge and every source joint with its
// image joint.
void dominpde_periodic_edges(Domain *d);
// Refuses a periodic source segment left without an image (its ends map onto joints that no
// segment of its shape joins, as where the image side is split at a point the source lacks):
// the mesher copies every source's layout from its image, so the pair cannot be meshed.
void dominpde_check_images(const Domain *d);
// Enters in every joint's region list the regions beside its edges, and with several
// surfaces checks that every surface is continuous and above the one before.
void dominpde_find_reglist(pde *p);
// The parse error "SURFACE s MESSAGE AT (x,y)" at the surface's source place.
[[noreturn]] void sheet_error(uint16_t surface, const char *message, const double *point);
// Numbers the materials: regions whose definitions of every parameter not substituted
// away are equal share a material; feature regions keep theirs.
void dominpde_sort_materials(Domain *d, paramset *params);

// ---- Boundary spacing -----------------------------------------------------------------------
// Builds the domain's feature block: spacings at the joints and samples along the edges,
// with h0 = size / ngrid. Progress and the stop check go through the status panel.
void dominpde_build_features(pde *p, uint16_t ngrid, pad *panel);
// The samples of every edge (called by dominpde_build_features).
void resolve_features(pde *p, Domain *d, pad *panel);
// The smallest spacing the edge's and the region's (or the domain's) MESH_SPACING and
// MESH_DENSITY ask at the point; 1.00000000000002e300 when none.
double dominpde_user_feature(pde *p, const double *point, uint16_t region, uint16_t edge);
// The spacing limit from the curvature of the surfaces at the point (STEEPNESS).
double dominpde_threed_feature(pde *p, const Domain *d, const double *point, uint16_t region);
