// domain_record: the problem's geometry record (Domain) with its joints, edges, faces,
// loops, regions, periodic declarations and mesh-spacing features. The mesh record
// keeps the domain it was built from and the mesh code reads it; the domain module
// builds, copies, clears and prints it (domain/domain.h).
#pragma once
#include <cstdint>

#include "runtime/arrayd.h"
#include "runtime/bounding.h"
#include "runtime/geom3d.h"
#include "runtime/pointd.h"
#include "runtime/rect3d.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/treevector.h"
#include "runtime/vector2n.h"
#include "runtime/vectorb.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

// A boundary vertex.
struct Joint {
  uint16_t number;    // own number
  uint16_t bctag;     // boundary-condition tag; 0 none
  uint16_t word;      // kept and copied with the joint
  uint16_t periodic;  // periodic declaration the joint belongs to; 0 none
  uint16_t image;     // the joint's periodic image; 0 none
  uint8_t made;       // 1 from creation
  int32_t kind;       // 0 plain, 1 fillet, 2 bevel, 3 fixed point, 4 out of the closest-pair search
  vectorn edges;      // edges that end at the joint
  vectorn faces;      // faces that touch the joint (3D)
  vectorn regions;    // regions that touch the joint
  double x, y, z;     // position
  double corner;      // fillet radius or bevel cut
  TextLoc place;      // where the descriptor made the joint
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
  int16_t spacing;           // MESH_SPACING (+k) or MESH_DENSITY (-k) expression; 0 none
  uint16_t number;           // own number
  uint16_t bctag;            // boundary-condition tag; 0 none
  uint16_t source;           // extrusion edges: the base edge lifted
  uint16_t surface;          // extrusion edges: the sheet the edge lies on
  uint16_t periodic;         // periodic declaration the edge belongs to; 0 none
  uint16_t image;            // the periodic image edge; 0 none
  uint16_t joint1, joint2;   // start and end joint
  uint16_t side_regions[4];  // 2D: left and right region (0 outside); 3D: regions meeting here
  uint8_t feature;           // the regions on both sides are equal
  uint8_t external;          // both sides are outside
  uint8_t deleted, marked;   // working flags of later passes; 0 here
  int32_t shape;             // SHAPE_LINE .. SHAPE_EXTRUD
  double length;             // length along the curve
  rect3d box;                // bounding box
  String name;               // optional user name
  vectorn face_list;         // faces that use the edge (3D)
  vectorn layer_tags;        // per-layer boundary tags of extruded side edges
  TextLoc place;             // where the descriptor ended the segment
  union {
    double data[6];    // line: a, b, c; line3: the 3D line
    arcrec arc;        // arc and erc
    const void *base;  // extrud: the base domain's edge table
  } shapedata;
};

// A face of an extruded domain.
struct face {
  uint16_t number;      // own number
  uint16_t bctag;       // boundary-condition tag; 0 none
  uint16_t periodic;    // periodic declaration the face belongs to; 0 none
  uint16_t image;       // the periodic image face; 0 none
  uint16_t regions[2];  // regions on the two sides
  uint8_t bytes[2];     // kept and copied with the face
  int32_t type;         // 0 ext.face, 1 ext.edge, 2 plane3, 3 conic3
  rect3d box;           // bounding box
  String name;          // empty when unnamed
  uint16_t base;        // base-domain entity the face comes from
  uint16_t level;       // surface (ext.face) or layer (ext.edge)
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
  TreeNode *mapping;  // the mapping expression
  transform3d inverse;
  transform3d forward;
};

// Record tables of the domain, numbered from 1: record k is data[k-1].
struct jointtable {
  uint16_t count, capacity;
  Joint *data;
};
struct edgetable {
  uint16_t count, capacity;
  Edge *data;
};
struct facetable {
  uint16_t count, capacity;
  face *data;
};
struct looptable {
  uint16_t count, capacity;
  Loop *data;
};
struct regiontable {
  uint16_t count, capacity;
  region *data;
};
struct periodictable {
  uint16_t count, capacity;
  periodic *data;
};

// The mesh-spacing feature block of a two-dimensional domain: sample points along
// every edge with the spacing wanted at each, and a spacing at every joint.
// The samples of one edge, in order from its first joint.
struct featureitem {
  uint16_t edge;       // the edge it belongs to
  pointdlist samples;  // sample points
  vectord spacings;    // spacing wanted at each sample
  vectord distances;   // distance of each sample along the edge, increasing
};

struct featureblock {
  uint16_t count;       // items, one per edge (item k belongs to edge k)
  uint16_t joints;      // joint count when built
  double arcangle;      // GRIDARC, degrees
  double minspacing;    // the smallest spacing met while building
  double basespacing;   // grid size / NGRID
  double aspect;        // ASPECT
  arrayd jointspacing;  // spacing wanted at each joint
  featureitem *items;   // items 1..count: item k is items[k-1]
};

// The empty box bound and the spacing seed of a cleared domain.
constexpr double DOMAIN_HUGE = 1.00000000000002e300;

struct Domain {
  uint8_t onedee, twodee, threed;  // dimension flags; twodee is handed to the mesher
  uint8_t extrusion;               // set by the extrusion reader
  uint8_t perextrude;              // periodic extrusion: two-dimensional periodic matching is off
  int16_t spacing;                 // domain-wide MESH_SPACING or MESH_DENSITY expression
  uint16_t reader[4];              // counters of the boundary reader; the last the region count
  uint16_t surfaces;               // surface count
  uint16_t materials;              // material count
  jointtable joints;
  edgetable edges;
  facetable faces;
  looptable loops;
  regiontable regions;
  BoundingGrid grid;
  vectorn excluded;            // regions of type exclude
  vectorl unattached;          // mesh nodes of joints no edge ends at
  treevector surfacetrees;     // one tree per surface z = f(x, y)
  treevectors regiontrees[3];  // per surface, by region: expression, gradient, divergence
  vectorb flat;                // per surface: constant in every region
  StringList sheetnames;       // name of each surface
  StringList layernames;       // name of each layer; its count is the layer count
  TextLocVector surfplaces;    // source place of each surface
  double shear[2];             // extrusion shear in x and y
  double grofac;               // growth factor (SELECT GROFAC)
  vector2n maps[7];            // entity maps of an extruded domain
  vectorn regmaterials;        // material number of each region
  vectorl voids;               // region and layer pairs declared void
  Domain *base;                // base domain of an extrusion (borrowed)
  periodictable periodics;     // periodic declarations
  featureblock features;       // mesh-spacing features
};

// The layer count of an extruded domain.
inline uint16_t domain_layer_count(const Domain *d) { return uint16_t(d->layernames.count); }
