// mesher2: the two-dimensional mesh driver: it prepares the problem's domain, shows it
// on request, lays out the boundary, grows the front, swaps and relaxes the triangles,
// adds side nodes for quadratic and cubic cells and checks the mesh; also the fillets
// and bevels at joints and the check of history points.
#pragma once
#include <cstdint>

#include "runtime/textin.h"

struct Domain;
struct Mesh;
struct pde;
struct region;

int mesher2_init();

// The GRID debug flag (0 off; 2 and above also waits for a key at each step), set from
// the problem's debug switches before the mesh phase.
extern uint8_t mesher2_debug;

// Makes the problem's initial mesh; meshswitch is the domain's 2D flag (0 for the base
// of an extruded problem, which gets no side nodes), meshcount NGRID. Returns 6 when the
// mesh was made, 4 when the user left the domain display with Edit, and the problem's
// current phase when a stop request was found after domain preparation, after the front
// or after relaxation.
int32_t mesher2_freshmesh(pde *p, uint8_t meshswitch, int32_t meshcount);
// The domain preparation that starts the driver: the transforms of periodic pairs,
// crossing edges split and collinear ones merged, fillets, joinings, region boxes, the
// regions on both sides of every edge, the joints' conditions, the materials and the
// region list of the problem.
void mesher2_prepare_domain(pde *p);
// Adds the side nodes of basis 5 (tri6, one per side) or 6 (tri9, two per side) to every
// cell and sets the mesh basis; another basis is the execution error "ILLEGAL ORDER".
// A side node on a domain edge enters the edge's node list (fatal "Bad Boundary Node
// Insert" in "mesher2_midsides_0" when it cannot) and follows a curved edge under
// CURVEGRID.
void mesher2_midsides(pde *p, Mesh *m, int32_t basis);

// Ends the run with "The first mesh needs N nodes, more than NODELIMIT = L" ("at least N"
// for a bound estimated before the mesh is built).
void mesher2_refuse_first_mesh(const pde *p, int64_t nodes, bool least);
// The area a region's own loops enclose, whatever later regions cover of it.
double mesher2_outline_area(const Domain *d, const region &R);
// Rounds the joints that ask for a fillet (an arc of the joint's radius) or a bevel (a
// cut of the joint's length). A joint without exactly two edges is the parse error
// "Can't Fillet a T-joint"; edges that do not run through the joint, a straight or
// folded corner, or a corner too large for its edges are "Confusing Fillet".
void filletize(pde *p);
// Reports the history points outside the domain (parse error at the history).
void check_history_points(pde *p);
// The test of one history point: when (x, y) lies in no region and farther than 1% of
// the grid size from every edge, the parse error "History point (x,y) is outside domain"
// at loc.
void check_history_point(pde *p, double x, double y, const TextLoc *loc);
