// edges: the boundary curves of a domain and the loops they form: the edge and loop
// tables, find-or-make of line, 3D line, extrusion and arc edges, bounding boxes, the
// joint-to-edge index, and the curve operations (distance along, projection, crossings,
// splitting) of line, arc and elliptic-arc edges. Signed edge numbers (+n forwards, -n
// backwards) are carried in 32 bits.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "domain/domain.h"
#include "runtime/pointd.h"

int edges_init();

// ---- Edge table ------------------------------------------------------------------------
// Appends a zeroed line edge from j1 to j2 (no geometry); stops with "TABLE FULL IN
// NEW_EDGE" beyond 65535 edges. Returns its number.
uint16_t edges_new_edge(edgetable *t, uint16_t j1, uint16_t j2);
// Appends a copy of an edge of another table, without its spacing selector, surface
// and base-table pointer.
uint16_t edges_copy_edge(edgetable *t, const Edge *e);
// Releases every edge's name and lists, then the table.
void edges_free_0(edgetable *t);
// Sets the edge's x-y box from its joints, widened for arcs by the ellipse's extreme
// points within the sweep; lowers the grid's spacing seed to the edge's length.
void edges_bound_edge(Edge *e, const jointtable *j, BoundingGrid *g);
// Makes the edge a line (a x + b y + c = 0, unit normal) or a 3D line, with its length.
void edges_make_line_params(Edge *e, const jointtable *j);
void edges_make_line3_params(Edge *e, const jointtable *j);
// Find-or-make: an edge of the same kind between the joints is returned as +n when it
// runs from j1 to j2, -n when it runs back; otherwise a new edge is made and bounded.
// Extrusion edges match on the base table, source and surface too; the caller fills
// their length and the rest from the base edge.
int32_t edges_make_line_edge(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g);
// The edges of a table by the pair of joints they join, for a reader that only appends:
// edges_make_line_edge without a pass over every edge. The lists follow the table's
// growth and are made again when it shrinks; an edge whose joints change after it was
// listed is not seen under its new pair.
struct EdgeIndex {
  const edgetable *table = nullptr;
  int32_t indexed = 0;
  std::unordered_map<uint32_t, std::vector<uint16_t>> pairs;
};
int32_t edges_make_line_edge_1(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g,
                               EdgeIndex *index);
int32_t edges_make_line3_edge(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g);
int32_t edges_make_extrud_edge(edgetable *t, const jointtable *j, uint16_t j1, uint16_t j2, BoundingGrid *g,
                               const edgetable *base, uint16_t source, uint16_t surface);
// Rebuilds every joint's ascending edge list.
void edges_joinings(const edgetable *t, jointtable *j);
// The debug lines of edge n.
void edges_print_0(FILE *f, const edgetable *t, uint16_t n);

// ---- Loops ---------------------------------------------------------------------------------
uint16_t edges_new_loop(looptable *t);
uint16_t edges_copy_loop(looptable *t, const Loop *l);
// Enters a signed edge number unless the loop holds it (a 0 entry is reused first).
void edges_add_to_loop(looptable *t, uint16_t loop, int32_t edge);
void edges_free_1(looptable *t);
void edges_print_1(FILE *f, const looptable *t, uint16_t n);

// ---- Arcs ------------------------------------------------------------------------------------
// Construction kinds of edges_make_arc_edge.
enum { ARC_THREE_POINT, ARC_TWO_POINT_CENTER, ARC_TWO_POINT_RADIUS, ARC_POINT_CENTER_ANGLE, ARC_TWO_POINT_ANGLE };
// Finds or makes the arc or elliptic arc of the kind: through j3 (kind 0), about the
// centre (x, y) (kind 1), with the signed radius (kind 2: positive counter-clockwise),
// or from j1 about (x, y) by the angle (kind 3, which makes or finds the end joint).
// Kinds 0-2 take the shorter way between the joints. Returns the signed edge number, or
// 0 when the points make no arc (collinear, coincident, a centre on a joint, an end
// that is the start). A radius short of half the chord stops the command with
// "Radius too small for distance.".
int32_t edges_make_arc_edge(edgetable *t, jointtable *j, uint16_t j1, uint16_t j2, uint16_t j3, int32_t kind, double x,
                            double y, double radius, double angle, BoundingGrid *g);
// Re-derives every arc's start and sweep (and a circle's length) from its joints as they
// now stand, keeping its sense and amount of turn; run after joints are moved or reused.
void edges_fit_arcs(edgetable *t, const jointtable *j);
// Fills the arc from two joints and a signed radius (kind 2); false when no arc.
bool edges_infer_arc2r(arcrec *a, const Joint *j1, const Joint *j2, double radius, double tolerance);
// Whether (x, y) lies within the arc's sweep, widened by tol at both ends (narrowed when
// negative; the ends themselves are out at tol 0). The distance to the curve is not tested.
bool edges_on_arc(const arcrec *a, double x, double y, double tol);
// Whether the middle of arc b lies within the sweep of arc a: two arcs about one centre
// between the same joints are one curve only then (not two halves of a circle).
bool edges_same_sweep(const arcrec *a, const arcrec *b);

// ---- Curve operations (line, arc, erc; other shapes stop the command) --------------------------
// Distance along the edge from joint1 to a point of the curve (arcs: the shorter way).
double edges_get_dist(const Edge *e, const jointtable *j, const double p[2]);
// Length of the ellipse (rx, ry) from parameter t0 over d (three-point Gauss rule).
double edges_erc_length(double t0, double d, double rx, double ry);
// Radius of curvature of an elliptic-arc edge at a point of its ellipse.
double edges_erc_rad(const Edge *e, const double p[2]);
// The point at distance d (at most the length) along the edge from joint1.
void edges_move_dist(const Edge *e, const jointtable *j, double d, double p[2]);
// The parameter step whose ellipse length from t0 is d (Newton, at most 50 steps).
double edges_erc_move(double d, double t0, double rx, double ry);
// Moves p onto the curve: a line's foot, radially onto a circle or an ellipse (a point at
// the centre stays).
void edges_push_to_bdry(const Edge *e, double p[2]);
// Distance from p to the edge and the nearest point q; beyond the ends, the nearer joint.
double edges_edge_distance(const Edge *e, const jointtable *j, const double p[2], double q[2], double tol);
// Crossings of the segment p0-p1 with the edge, away from the ends by tol, nearest to
// joint1 first, in L; returns their count.
uint16_t edges_cross_edge(pointdlist *L, const Edge *e, const jointtable *j, const double p0[2], const double p1[2],
                          double tol);
// One crossing of two curved edges found by marching along e1; 1 with the point in L.
int16_t edges_cross_arc_arc(pointdlist *L, const Edge *e1, const Edge *e2, const jointtable *j, double tol);
// Whether the segment crosses any edge; the first crossing in q.
bool edges_cross_boundary(const edgetable *t, const jointtable *j, const double p0[2], const double p1[2], double q[2],
                          double tol);
// Crossings of the edge with the ray from p towards -x (ends excluded).
uint8_t edges_cross_yline(const Edge *e, const jointtable *j, const double p[2]);
// Cuts edge n at joint jn lying on it: a new edge takes the first part (joint1 to jn),
// edge n keeps the rest. Returns the new edge's number.
uint16_t edges_split(edgetable *t, uint16_t n, const jointtable *j, uint16_t jn, BoundingGrid *g);
