// domain: the problem's geometry record: its joints, edges, faces, loops, regions and
// periodic declarations, the snapping grid with the geometric tolerance, and the
// extrusion, meshing and material settings that run control and the mesh read.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/geom3d.h"
#include "runtime/rect3d.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/vectori.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

struct TreeNode;

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
  uint16_t side_regions[4];   // regions on the edge's sides (0 outside)
  uint8_t feature;            // the regions on both sides are equal
  uint8_t external;           // both sides are outside
  int32_t shape;              // 0 line, 1 arc, 2 erc, 3 conic, 4 spline, 5 line3, 6 eqn, 7 extrud
  double length;              // length along the curve
  rect3d box;                 // bounding box
  String name;                // optional user name
  vectorn face_list;          // faces that use the edge (3D)
  vectorn layer_tags;         // per-layer boundary tags of extruded side edges
  TextLoc place;              // where the descriptor ended the segment
  union {
    double data[6];           // line: a, b, c; arc and erc: centre, radii, start, sweep; line3
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

// A closed chain of edges; +n walks edge n forwards, -n backwards.
struct Loop {
  uint16_t number;
  String name;
  vectori edges;
};

struct region {
  uint16_t number;     // own number
  uint16_t tag;        // the key of region-specific definitions
  uint16_t defregion;  // the region whose definitions apply
  uint16_t layer;      // layer of an extruded region; 0 in 2D
  uint16_t material;   // material number
  int16_t spacing;     // MESH_SPACING or MESH_DENSITY expression; 0 the domain's
  int32_t type;        // 0 include, 1 exclude, 2 feature
  String name;         // empty when unnamed
  rect3d box;          // bounding box
  vectorn loops;       // loops that bound the region
  vectorn lists[2];    // kept with the region
};

// A periodic declaration: sources[k] maps onto images[k] by forward; inverse maps back.
// Both transforms are applied with geom3d_rotate_0.
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

// The snapping grid and the geometric tolerance.
struct BoundingGrid {
  rect3d box;                    // the box of every joint seen
  double width, height, depth;
  double ox, oy, oz;             // grid origin
  double seed;                   // spacing seed: the shortest edge bounded
  double tolerance;              // distance under which two points are one
  double coarse;                 // coarse tolerance
  double quantum;                // grid line spacing
  double size;                   // largest side of the box
  double scale;                  // nearness distance of splitting and surface checks
};

struct Domain {
  uint8_t onedee, twodee;        // dimension flags of the coordinate system
  uint8_t threed;                // 1 for an extruded (three-dimensional) domain
  uint8_t extrusion;             // nonzero while the domain is an extrusion
  uint8_t perextrude;            // periodic extrusion: two-dimensional periodic matching is off
  uint8_t meshswitch;            // the meshing switch handed to the mesher
  uint16_t layers;               // layer count
  int16_t spacing;               // domain-wide MESH_SPACING or MESH_DENSITY expression
  uint16_t reader[4];            // counters of the boundary reader
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
  double shear[2];               // extrusion shear in x and y
  double grofac;                 // growth factor (SELECT GROFAC)
  vectorn regmaterials;          // material number of each region
  vectorl voids;                 // region and layer pairs declared void
  Domain *base;                  // base domain of an extrusion (borrowed)
  periodictable periodics;       // periodic declarations
};

int domain_init();

// A deep copy of d, allocated (its bytes counted in XMEM).
Domain *domain_domain_copy(const Domain *d);
// Releases everything the domain holds (the record itself stays).
void domain_clear(Domain *d);
// Writes the domain's own report inside the grid report.
void domain_print(FILE *f, const Domain *d);
// The edge's 1-based position in the joint's edge list, 0 if absent.
uint16_t edges_if_edge(const Joint *j, uint16_t edge);
// Snap a 3D point (x, y, z) or a 2D point (x, y) in place off the grid lines.
void bounding_off_grid_0(const BoundingGrid *g, double *p);
void bounding_off_grid_1(const BoundingGrid *g, double *p);
