// spatial: lookups that let the set-up passes over a domain visit only the edges and
// joints near a point, and the crossing count of a region only the edges at the
// point's height. Each answers a superset of what could matter, in ascending number,
// so a pass that applies its own tests to the answer decides exactly as a pass over
// every record would.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "domain/domain.h"

// Numbered boxes bucketed on a uniform grid of square cells about as large as the
// boxes; only the cells that hold a box are stored, so boxes along a curve cost no
// empty cells.
class BoxGrid {
 public:
  struct Box {
    double x1, y1, x2, y2;
  };
  // Box k belongs to item k + 1. A box that is not set (x1 > x2, y1 > y2 or not a
  // number) or that covers very many cells is part of every answer. The cells are
  // squares of about the given side (0: the median side of the boxes).
  void build(const std::vector<Box> &boxes, double side = 0);
  // Every item whose box meets the rectangle (x1, y1)-(x2, y2), and the items of
  // every answer, ascending, each once, into out (emptied first).
  void query(double x1, double y1, double x2, double y2, std::vector<uint16_t> *out) const;
  // The cell side in use.
  double side() const { return side_; }

 private:
  double x0_ = 0, y0_ = 0, side_ = 1;
  int64_t nx_ = 1, ny_ = 1;
  std::vector<int64_t> keys_;     // the held cells, keyed column * ny_ + row, ascending
  std::vector<int32_t> start_;    // per held cell the first entry of items_; one more at the end
  std::vector<uint16_t> items_;   // the items of every held cell, ascending within it
  std::vector<uint16_t> always_;  // the items of every answer
  mutable std::vector<uint32_t> seen_;
  mutable uint32_t stamp_ = 0;
  // The cell range of the last query and its answer: the front asks about the same few
  // cells over and over, and the answer depends on the cell range alone.
  mutable int64_t last_[4] = {1, 0, 1, 0};
  mutable std::vector<uint16_t> last_out_;
  void range(double lo, double hi, bool along_x, int64_t *a, int64_t *b) const;
};

// Per region the edges of its loops sorted into horizontal bands: every edge whose
// crossing count at a height can be nonzero lies in the band of that height.
class RegionBands {
 public:
  void build(const Domain *d);
  // The crossing count test_region sums over all the region's edges, summed over the
  // edges of the point's band.
  int32_t crossings(const Domain *d, uint16_t region, const double *p) const;

 private:
  struct Bands {
    double y0 = 0, dy = 1;
    int32_t count = 0;
    std::vector<int32_t> start;
    std::vector<uint16_t> edges;  // an edge once for each time a loop lists it
  };
  std::vector<Bands> regions_;
};

// The lookups of a domain whose joints, edges and regions stay as they are: edges and
// joints by place, regions by band.
struct DomainIndex {
  BoxGrid edges, joints, regionboxes;
  std::vector<BoxGrid::Box> edgeboxes;  // per edge the box it is bucketed by
  RegionBands regions;
  mutable std::vector<uint16_t> near;   // answer space of one query at a time
  mutable std::vector<uint16_t> holds;  // answer space of the region lookup
};

// Builds the lookups of d and lends them to d for its lifetime (spatial_index): the
// domain's joints, edges, loops and regions must not change meanwhile. An index already
// lent to d is kept and not replaced; a copy of d has none.
class DomainIndexScope {
 public:
  explicit DomainIndexScope(Domain *d);
  ~DomainIndexScope();
  DomainIndexScope(const DomainIndexScope &) = delete;
  DomainIndexScope &operator=(const DomainIndexScope &) = delete;

 private:
  Domain *d_;
  DomainIndex *own_ = nullptr;
};

// The lookups lent to d, or null.
const DomainIndex *spatial_index(const Domain *d);
// The edges of d (in ascending number) that may lie within r of p: those whose box
// comes within r of p, widened by twice the tolerance, the reach of a line's foot past
// its ends. Without an index, every edge.
const std::vector<uint16_t> &spatial_edges_near(const Domain *d, const double *p, double r);
// A first reach for a search that widens: twice the edges' cell side, or without an
// index one without bound (a single pass over every edge).
double spatial_reach(const Domain *d);
// The joints of d (ascending) within r of p on both axes, or every joint without an
// index.
const std::vector<uint16_t> &spatial_joints_near(const Domain *d, const double *p, double r);
// The joints of d (ascending) that may lie within r of edge e: those within r of its
// box, widened as above. Without an index, every joint.
const std::vector<uint16_t> &spatial_joints_near_edge(const Domain *d, uint16_t e, double r);
// The edges of d (ascending) whose box may come within r of edge e's box; every edge
// without an index.
const std::vector<uint16_t> &spatial_edges_near_edge(const Domain *d, uint16_t e, double r);
// Each answer of the four above is overwritten by the next of them.
// The regions of d (ascending) whose box may hold p, in an answer space of their own
// (a region lookup may run while an answer above is walked), or every region without
// an index or when there are at most four.
const std::vector<uint16_t> &spatial_regions_at(const Domain *d, const double *p);
