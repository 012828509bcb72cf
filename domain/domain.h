// domain: the problem's geometry record: its joints, edges, faces, loops, regions and
// periodic declarations, the snapping grid with the geometric tolerance, the surfaces
// and layers of an extruded problem, and the record-wide copy, clear, print and
// sheet and layer name lookups.
#pragma once
#include <cstdint>
#include <cstdio>

#include "domain/features.h"
#include "model/trees.h"
#include "runtime/bounding.h"
#include "runtime/geom3d.h"
#include "runtime/rect3d.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/vector2n.h"
#include "runtime/vectorb.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

// A boundary vertex.
struct Joint {
  uint16_t number;     // own number
  uint16_t bctag;      // boundary-condition tag; 0 none
  uint16_t word;       // kept and copied with the joint
  uint16_t periodic;   // periodic declaration the joint belongs to; 0 none
  uint16_t image;      // the joint's periodic image; 0 none
  uint8_t made;        // 1 from creation
  int32_t kind;        // 0 plain, 1 fillet, 2 bevel, 3 fixed point, 4 out of the closest-pair search
  vectorn edges;       // edges that end at the joint
  vectorn faces;       // faces that touch the joint (3D)
  vectorn regions;     // regions that touch the joint
  double x, y, z;      // position
  double corner;       // fillet radius or bevel cut
  TextLoc place;       // where the descriptor made the joint
};

// Shape codes of an edge.
enum { SHAPE_LINE, SHAPE_ARC, SHAPE_ERC, SHAPE_CONIC, SHAPE_SPLINE, SHAPE_LINE3, SHAPE_EQN, SHAPE_EXTRUD };

// The arc record of arc and erc edges: the curve (cx + rx cos t, cy + ry sin t) for t
// from start to start + sweep (positive counter-clockwise).
struct arcrec {
  double cx, cy, rx, ry, start, sweep;
};

// A boundary curve from joint1 to joint2.
struct Edge {
  int16_t spacing;            // MESH_SPACING (+k) or MESH_DENSITY (-k) expression; 0 none
  uint16_t number;            // own number
  uint16_t bctag;             // boundary-condition tag; 0 none
  uint16_t source;            // extrusion edges: the base edge lifted
  uint16_t surface;           // extrusion edges: the sheet the edge lies on
  uint16_t periodic;          // periodic declaration the edge belongs to; 0 none
  uint16_t image;             // the periodic image edge; 0 none
  uint16_t joint1, joint2;    // start and end joint
  uint16_t side_regions[4];   // 2D: left and right region (0 outside); 3D: regions meeting here
  uint8_t feature;            // the regions on both sides are equal
  uint8_t external;           // both sides are outside
  uint8_t deleted, marked;    // working flags of later passes; 0 here
  int32_t shape;              // SHAPE_LINE .. SHAPE_EXTRUD
  double length;              // length along the curve
  rect3d box;                 // bounding box
  String name;                // optional user name
  vectorn face_list;          // faces that use the edge (3D)
  vectorn layer_tags;         // per-layer boundary tags of extruded side edges
  TextLoc place;              // where the descriptor ended the segment
  union {
    double data[6];           // line: a, b, c; line3: the 3D line
    arcrec arc;               // arc and erc
    const void *base;         // extrud: the base domain's edge table
  } shapedata;
};

// A face of an extruded domain.
struct face {
  uint16_t number;     // own number
  uint16_t bctag;      // boundary-condition tag; 0 none
  uint16_t periodic;   // periodic declaration the face belongs to; 0 none
  uint16_t image;      // the periodic image face; 0 none
  uint16_t regions[2]; // regions on the two sides
  uint8_t bytes[2];    // kept and copied with the face
  int32_t type;        // 0 ext.face, 1 ext.edge, 2 plane3, 3 conic3
  rect3d box;          // bounding box
  String name;         // empty when unnamed
  uint16_t base;       // base-domain entity the face comes from
  uint16_t level;      // surface (ext.face) or layer (ext.edge)
};

// A chain of edges in drawing order; +n walks edge n forwards, -n backwards.
struct Loop {
  uint16_t number;
  String name;
  vectorl edges;
};

struct region {
  uint16_t number;     // own number
  uint16_t tag;        // the key of region-specific definitions
  uint16_t defregion;  // the region whose definitions apply
  uint16_t layer;      // layer of an extruded region; 0 in 2D
  uint16_t material;   // material number
  int16_t spacing;     // MESH_SPACING or MESH_DENSITY expression; 0 the domain's
  int32_t type;        // 0 include, 1 exclude, 2 feature
  uint8_t excluded;    // equations skip the region
  String name;         // empty when unnamed
  rect3d box;          // bounding box
  vectorn loops;       // loops that bound the region
  vectorn lists[2];    // [0]: per surface, the tag of the region's surface conditions (copied); [1] kept
  TextLoc place;       // where the descriptor started the region
};

// A periodic declaration: sources[k] maps onto images[k] by forward; inverse maps back.
// Both transforms are applied with geom3d_rotate_0. The mapping tree is owned.
struct periodic {
  vectorn images;
  vectorn sources;
  vectorn lists[2];
  TreeNode *mapping;   // the mapping expression
  transform3d inverse;
  transform3d forward;
};

// Record tables of the domain, numbered from 1: record k is data[k-1].
struct jointtable { uint16_t count, capacity; Joint *data; };
struct edgetable { uint16_t count, capacity; Edge *data; };
struct facetable { uint16_t count, capacity; face *data; };
struct looptable { uint16_t count, capacity; Loop *data; };
struct regiontable { uint16_t count, capacity; region *data; };
struct periodictable { uint16_t count, capacity; periodic *data; };

// The empty box bound and the spacing seed of a cleared domain.
constexpr double DOMAIN_HUGE = 1.00000000000002e300;

struct Domain {
  uint8_t onedee, twodee, threed;  // dimension flags; twodee is handed to the mesher
  uint8_t extrusion;             // set by the extrusion reader
  uint8_t perextrude;            // periodic extrusion: two-dimensional periodic matching is off
  int16_t spacing;               // domain-wide MESH_SPACING or MESH_DENSITY expression
  uint16_t reader[4];            // counters of the boundary reader; the last the region count
  uint16_t surfaces;             // surface count
  uint16_t materials;            // material count
  jointtable joints;
  edgetable edges;
  facetable faces;
  looptable loops;
  regiontable regions;
  BoundingGrid grid;
  vectorn excluded;              // regions of type exclude
  vectorl unattached;            // mesh nodes of joints no edge ends at
  treevector surfacetrees;       // one tree per surface z = f(x, y)
  treevectors regiontrees[3];    // per surface, by region: expression, gradient, divergence
  vectorb flat;                  // per surface: constant in every region
  StringList sheetnames;         // name of each surface
  StringList layernames;         // name of each layer; its count is the layer count
  TextLocVector surfplaces;      // source place of each surface
  double shear[2];               // extrusion shear in x and y
  double grofac;                 // growth factor (SELECT GROFAC)
  vector2n maps[7];              // entity maps of an extruded domain
  vectorn regmaterials;          // material number of each region
  vectorl voids;                 // region and layer pairs declared void
  Domain *base;                  // base domain of an extrusion (borrowed)
  periodictable periodics;       // periodic declarations
  featureblock features;         // mesh-spacing features
};

int domain_init();

// The layer count of an extruded domain.
inline uint16_t domain_layer_count(const Domain *d) { return uint16_t(d->layernames.count); }

// A deep copy of the geometry (see domain.cpp for what is left behind), allocated
// with its bytes counted in XMEM.
Domain *domain_domain_copy(const Domain *d);
// Releases everything the domain holds and leaves it as a new domain (the record itself
// and the growth factor stay). A null domain is ignored.
void domain_clear(Domain *d);
// The domain's report: dimension, counts, bounds and every record.
void domain_print(FILE *f, const Domain *d);
// The DOMAIN and EDGES debug switches of the current problem.
extern uint8_t domain_debug, edges_debug;
// The listings the switches ask for, in the debug log while it is open: with DOMAIN
// the domain's report, with EDGES every loop and edge as the mesher receives them.
void domain_debug_listing(const Domain *d);
// Whether the plane point lies in the region: strictly inside its box, then an odd
// number of crossings of the ray towards -x with the edges of the region's loops.
bool test_region(const Domain *d, const double *p, uint16_t region);
// Whether the point lies in one of the exclude regions.
bool exclude_point(const Domain *d, const double *p);
// The region of a plane point, moved off the grid lines first: 0 inside an exclude
// region, else the highest-numbered include region holding it, else 0.
uint16_t domain_find_region(const Domain *d, const double *p);
// Every region's box: the union of its loops' edge boxes, widened by 0.1% of its extent.
void domain_bound_regions(Domain *d);
// Tags every edge with the regions to its left and right (side_regions 1 and 2), probed
// at its middle a little off the curve; feature when both sides agree, external when
// both are outside.
void domain_tag_edges(Domain *d);

// The first sheet (layer) whose name equals name, upper-cased in place; 0 when none.
uint16_t domain_find_sheet_name(const Domain *d, String *name);
uint16_t domain_find_layer_name(const Domain *d, String *name);

// Upper-cases name in place and returns the number of the first named record of the
// table equal to it (exactly, or ignoring case), 0 when none is. Loops and regions are
// looked up by name through it.
template <class Table>
uint16_t domain_find_named(const Table *t, String *name, bool ignore_case) {
  strings_upstring_0(name);
  for (int32_t k = 0; k < t->count; k++) {
    const String &n = t->data[k].name;
    if (n.length && (ignore_case ? strings_compare_ul_0(&n, name) : strings_compare_0(&n, name)) == 0)
      return t->data[k].number;
  }
  return 0;
}

// Appends a zeroed record to a domain table and returns its number. The tables grow by
// 32 records (periodic declarations to capacity * 6 / 5 + 4) into a new zeroed block
// counted in XMEM; a table stops with "TABLE FULL IN where" rather than pass 65535
// records. Every table module of the domain appends through it.
uint16_t domain_grow_table(void **data, uint16_t *count, uint16_t *capacity, size_t size, const char *where,
                           bool periodic);
template <class Table>
uint16_t domain_table_append(Table *t, const char *where, bool periodic = false) {
  return domain_grow_table(reinterpret_cast<void **>(&t->data), &t->count, &t->capacity, sizeof(*t->data), where,
                           periodic);
}
// Frees a table's block (its records' own storage already released) and empties it.
void domain_drop_table(void **data, uint16_t *count, uint16_t *capacity, size_t size);
template <class Table>
void domain_table_drop(Table *t) {
  domain_drop_table(reinterpret_cast<void **>(&t->data), &t->count, &t->capacity, sizeof(*t->data));
}
