// gromesh2: boundary node layout and the advancing front of two-dimensional meshes.
//
// One concern in one file past 1,000 lines: the boundary layout places the nodes the front
// starts from, and both work on the one record of the region being filled (its legs,
// protonodes and bucket grids), which every section reads and changes.
//
// The front is a list of directed legs with the unmeshed part of the region on their
// left. Each pass closes legs onto nearby front nodes, then places, smooths and merges
// a proposed node ahead of every leg and closes the leg onto it. Every search that the
// plain algorithm makes over all nodes or all legs goes through a bucket grid instead;
// the candidates a bucket query returns are sorted into the order of the full scan, so
// that ties and floating-point sums come out exactly as a scan in that order would.
#include "mesher/gromesh2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/dfeature.h"
#include "domain/domain.h"
#include "domain/dominpde.h"
#include "domain/edges.h"
#include "domain/spatial.h"
#include "elements/meshes.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "mesher/mesh2.h"
#include "mesher/mesher2.h"
#include "mesher/refine2.h"
#include "plot/plot.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/geom3d.h"
#include "runtime/lined.h"
#include "runtime/rtlib.h"

double (*gromesh2_user_feature)(pde *p, const double *point, uint16_t region, uint16_t edge) = dominpde_user_feature;

namespace {

// One directed link of the front.
struct leg {
  int32_t a, b;        // start and end node
  int32_t linked;      // the node the link pass closed the leg onto; 0 until then
  uint8_t state;       // 0 free slot, 1 active, 2 new, 3 closed
  double spacing;      // local spacing at the proposed position
  double smooth;       // working copy of the spacing for smoothing
  double px, py;       // proposed position of a new node
  double sx, sy;       // the protonode: the proposed position smoothed and merged
  uint32_t stamp;      // query mark of the bucket grid
};

// A uniform grid of buckets over the domain's box; items outside the box go to the
// border buckets. Only the buckets written since the last clear are emptied.
template <class T>
struct Buckets {
  double x0 = 0, y0 = 0, inv = 1;
  int32_t nx = 1, ny = 1;
  std::vector<std::vector<T>> cells;
  std::vector<int32_t> touched;
  size_t held = 0;  // the entries in all buckets
  void setup(const rect3d &box, double size) {
    double w = std::max(box.x2 - box.x1, 0.0), h = std::max(box.y2 - box.y1, 0.0);
    double side = std::max({size, w / 512, h / 512, 1e-300});
    int32_t wx = std::max(1, std::min(512, int32_t(w / side) + 1));
    int32_t wy = std::max(1, std::min(512, int32_t(h / side) + 1));
    clear();
    bool same = x0 == box.x1 && y0 == box.y1 && inv == 1 / side && nx == wx && ny == wy &&
                cells.size() == size_t(nx) * ny;
    x0 = box.x1, y0 = box.y1, inv = 1 / side, nx = wx, ny = wy;
    if (!same) cells.assign(size_t(nx) * ny, {});
  }
  // A grid over the box with buckets of at least the size given and no more than about
  // limit buckets in all.
  void fit(const rect3d &box, double size, int64_t limit) {
    double w = std::max(box.x2 - box.x1, 0.0), h = std::max(box.y2 - box.y1, 0.0);
    double side = std::max({size, std::sqrt(w * h / double(limit)), w / double(limit), h / double(limit), 1e-300});
    clear();
    int32_t wx = int32_t(std::min(w / side, double(limit))) + 1, wy = int32_t(std::min(h / side, double(limit))) + 1;
    x0 = box.x1, y0 = box.y1, inv = 1 / side;
    if (size_t(wx) * wy > cells.size()) cells.resize(size_t(wx) * wy);
    nx = wx, ny = wy;
  }
  int32_t ix(double x) const {
    double v = (x - x0) * inv;
    return v <= 0 ? 0 : v >= nx - 1 ? nx - 1 : int32_t(v);
  }
  int32_t iy(double y) const {
    double v = (y - y0) * inv;
    return v <= 0 ? 0 : v >= ny - 1 ? ny - 1 : int32_t(v);
  }
  void add(double xlo, double ylo, double xhi, double yhi, T item) {
    const int32_t i0 = ix(xlo), i1 = ix(xhi), j1 = iy(yhi);
    for (int32_t j = iy(ylo); j <= j1; j++)
      for (int32_t i = i0; i <= i1; i++) {
        std::vector<T> &b = cells[size_t(j) * nx + i];
        if (b.empty()) touched.push_back(j * nx + i);
        b.push_back(item);
        held++;
      }
  }
  void add(double x, double y, T item) { add(x, y, x, y, item); }
  template <class F>
  void query(double xlo, double ylo, double xhi, double yhi, F &&f) const {
    const int32_t i0 = ix(xlo), i1 = ix(xhi), j1 = iy(yhi);
    for (int32_t j = iy(ylo); j <= j1; j++)
      for (int32_t i = i0; i <= i1; i++)
        for (const T &item : cells[size_t(j) * nx + i]) f(item);
  }
  // Visits the items like query and drops those for which keep returns false.
  template <class F>
  void prune(double xlo, double ylo, double xhi, double yhi, F &&keep) {
    if (!held) return;
    const int32_t i0 = ix(xlo), i1 = ix(xhi), j1 = iy(yhi);
    for (int32_t j = iy(ylo); j <= j1; j++)
      for (int32_t i = i0; i <= i1; i++) {
        std::vector<T> &b = cells[size_t(j) * nx + i];
        for (size_t k = 0; k < b.size();)
          if (keep(b[k])) k++;
          else b[k] = b.back(), b.pop_back(), held--;
      }
  }
  void clear() {
    for (int32_t k : touched) cells[k].clear();
    touched.clear();
    held = 0;
  }
  void release() {
    cells.clear(), cells.shrink_to_fit();
    touched.clear(), touched.shrink_to_fit();
    held = 0;
  }
};

struct Pt {
  double x, y;
};

// ilogb of a positive finite number: the exponent field of a normal number, read in place.
int exponent_of(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  int e = int((bits >> 52) & 0x7ff);
  return e ? e - 1023 : std::ilogb(x);
}

// A node's live legs in the order they were logged: up to six in place, a longer list on
// the heap, so that the front's nodes, most with two or three legs, allocate nothing.
class LegList {
 public:
  const int32_t *begin() const { return heap_ ? more_.data() : in_; }
  const int32_t *end() const { return begin() + n_; }
  bool empty() const { return n_ == 0; }
  void clear() { n_ = 0, more_.clear(); }
  void push_back(int32_t l) {
    if (!heap_ && n_ == 6) more_.assign(in_, in_ + 6), heap_ = true;
    if (heap_) more_.push_back(l);
    else in_[n_] = l;
    n_++;
  }
  // Removes the k-th leg (0-based), keeping the order of the rest.
  void erase(int32_t k) {
    int32_t *d = heap_ ? more_.data() : in_;
    std::copy(d + k + 1, d + n_, d + k);
    n_--;
    if (heap_) more_.pop_back();
  }

 private:
  int32_t n_ = 0;
  bool heap_ = false;  // the list lives in more_ (once it outgrew the places, for good)
  int32_t in_[6] = {};
  std::vector<int32_t> more_;
};

// Points that each reach out a distance of their own (a leg's smoothing radius), found
// by how far they reach. The points fall into classes whose reaches lie within a factor
// of two, each class in a grid of its own fitted to its points with buckets about its
// largest reach, so that a search about a place reaches only as far out as each class's
// points can: a front whose spacings span several orders of magnitude no longer returns
// its fine legs by the bucketful to every search. A point of no reach (zero or NaN) is
// entered nowhere, since nothing lies within it.
struct ReachGrids {
  struct Class {
    int key = 0;
    double reach = 0;  // the largest reach of the class's points
    rect3d box{};      // the box of the class's points
    std::vector<int32_t> items;
    Buckets<int32_t> grid;
  };
  std::vector<Class> classes;
  int32_t used = 0;
  // Sorts the items into classes by their reaches (reach(i) for item i).
  template <class R> void sort_out(const std::vector<int32_t> &ids, R &&reach) {
    for (int32_t c = 0; c < used; c++) classes[c].items.clear(), classes[c].reach = 0;
    used = 0;
    for (int32_t i : ids) {
      double r = std::fabs(reach(i));
      if (!(r > 0)) continue;
      int key = r < HUGE_VAL ? exponent_of(r) : INT32_MAX;
      int32_t c = 0;
      while (c < used && classes[c].key != key) c++;
      if (c == used) {
        if (used == int32_t(classes.size())) classes.emplace_back();
        classes[used].key = key, classes[used].reach = 0, classes[used].items.clear();
        used++;
      }
      classes[c].items.push_back(i);
      classes[c].reach = std::max(classes[c].reach, r);
    }
  }
  // Enters every class's items at their places (place(i) gives item i's).
  template <class Q> void place(Q &&where) {
    for (int32_t c = 0; c < used; c++) {
      Class &K = classes[c];
      K.box = {HUGE_VAL, HUGE_VAL, 0, -HUGE_VAL, -HUGE_VAL, 0};
      for (int32_t i : K.items) {
        Pt p = where(i);
        K.box.x1 = std::min(K.box.x1, p.x), K.box.x2 = std::max(K.box.x2, p.x);
        K.box.y1 = std::min(K.box.y1, p.y), K.box.y2 = std::max(K.box.y2, p.y);
      }
      K.grid.fit(K.box, K.reach, 4 * int64_t(K.items.size()) + 64);
      for (int32_t i : K.items) {
        Pt p = where(i);
        K.grid.add(p.x, p.y, i);
      }
    }
  }
  // Visits, class by class, the items that may lie within radius(reach) of p, where
  // reach is the class's largest; the caller filters and orders them.
  template <class Rad, class F> void query(Pt p, Rad &&radius, F &&f) const {
    for (int32_t c = 0; c < used; c++) {
      const Class &K = classes[c];
      double R = radius(K.reach) * 1.0001;
      if (!(R >= 0)) continue;
      if (p.x + R < K.box.x1 || p.x - R > K.box.x2 || p.y + R < K.box.y1 || p.y - R > K.box.y2) continue;
      K.grid.query(p.x - R, p.y - R, p.x + R, p.y + R, f);
    }
  }
  void clear() {
    for (int32_t c = 0; c < used; c++) classes[c].grid.clear();
  }
};

// Items (points, or boxes) whose sizes span orders of magnitude: the front's nodes by
// their spacings, its legs by their extents. They fall into classes whose sizes lie
// within a factor of two, each class in a grid of its own fitted to the box of its items
// with buckets twice its largest size, so that fine items crowded beside coarse ones fill
// many small buckets instead of a few full ones, and a large item enters a few buckets of
// its own class only. A search visits each class whose box it meets and returns every
// item whose box meets its own, possibly with others, and an item entered twice twice:
// the caller applies its own exact test. A class's grid is fitted again when its items
// have doubled since the last fit, or a sixteenth as many as it held have come beyond the
// box it was fitted to (a front moving on), or half of them have left (live tells which
// are still there); until then an item beyond that box goes to the border buckets.
template <class T> struct SizedGrids {
  struct Item {
    double xlo, ylo, xhi, yhi, size;
    T item;
  };
  struct Class {
    int key = 0;
    double size = 0;                                                      // the largest size of its items
    double x1 = HUGE_VAL, y1 = HUGE_VAL, x2 = -HUGE_VAL, y2 = -HUGE_VAL;  // the box of its items
    double f1 = 0, g1 = 0, f2 = 0, g2 = 0;                                // the box the grid was fitted to
    std::vector<Item> items;
    size_t fitted = 0, gone = 0, beyond = 0;
    Buckets<T> grid;
  };
  std::vector<Class> classes;
  int32_t used = 0;
  // Classes span a factor of 2^(1 + wide) from unit times a power of 2^(1 + wide).
  double unit = 1;
  int wide = 0;
  rect3d bound{-HUGE_VAL, -HUGE_VAL, 0, HUGE_VAL, HUGE_VAL, 0};  // where items lie but for a few

  int key_of(double size) const {
    double s = std::fabs(size) / unit;
    return !(s > 0) ? INT32_MIN : s < HUGE_VAL ? exponent_of(s) >> wide : INT32_MAX;
  }
  Class *find(double size) {
    int key = key_of(size);
    for (int32_t c = 0; c < used; c++)
      if (classes[c].key == key) return &classes[c];
    return nullptr;
  }
  Class &class_of(double size) {
    if (Class *K = find(size)) return *K;
    if (used == int32_t(classes.size())) classes.emplace_back();
    Class &K = classes[used++];
    K.key = key_of(size), K.size = 0, K.fitted = 0, K.gone = 0, K.beyond = 0;
    K.x1 = K.y1 = HUGE_VAL, K.x2 = K.y2 = -HUGE_VAL;
    K.items.clear(), K.grid.clear();
    return K;
  }
  // Keeps the items live accepts, and enters them in a grid fitted to their box.
  template <class L> void refit(Class &K, L &&live) {
    size_t k = 0;
    K.size = 0, K.x1 = K.y1 = HUGE_VAL, K.x2 = K.y2 = -HUGE_VAL;
    for (const Item &it : K.items) {
      if (!live(it.item)) continue;
      K.items[k++] = it;
      K.size = std::max(K.size, it.size);
      K.x1 = std::min(K.x1, it.xlo), K.y1 = std::min(K.y1, it.ylo);
      K.x2 = std::max(K.x2, it.xhi), K.y2 = std::max(K.y2, it.yhi);
    }
    K.items.resize(k);
    // The grid reaches out the box's own width and height (and two of the largest sizes)
    // on every side within the bound, so that a front moving on stays in it until it has
    // doubled; its buckets are twice the largest size, up to four for each item besides as
    // many as a grid of 512 by 512 has, or 64 for each item if fewer: a class of a few items
    // spread over a wide domain (a tiny feature far from the rest) takes few buckets, where
    // twenty such classes of 512 by 512 took 100 MB for a mesh of 6,000 nodes.
    double ex = std::max(K.x2 - K.x1, 4 * K.size), ey = std::max(K.y2 - K.y1, 4 * K.size);
    if (!(ex < HUGE_VAL)) ex = 0;
    if (!(ey < HUGE_VAL)) ey = 0;
    K.f1 = std::max(K.x1 - ex, std::min(bound.x1, K.x1)), K.f2 = std::min(K.x2 + ex, std::max(bound.x2, K.x2));
    K.g1 = std::max(K.y1 - ey, std::min(bound.y1, K.y1)), K.g2 = std::min(K.y2 + ey, std::max(bound.y2, K.y2));
    rect3d box{K.f1, K.g1, 0, K.f2, K.g2, 0};
    K.grid.fit(box, 2 * K.size, 4 * int64_t(k) + std::min<int64_t>(512 * 512, 64 * int64_t(std::max<size_t>(k, 1))));
    for (const Item &it : K.items) K.grid.add(it.xlo, it.ylo, it.xhi, it.yhi, it.item);
    K.fitted = std::max<size_t>(k, 1), K.gone = 0, K.beyond = 0;
  }
  // Enters item over the box given.
  template <class L> void insert(double xlo, double ylo, double xhi, double yhi, double size, T item, L &&live) {
    Class &K = class_of(size);
    K.items.push_back({xlo, ylo, xhi, yhi, std::fabs(size), item});
    bool out = !(xlo >= K.f1 && xhi <= K.f2 && ylo >= K.g1 && yhi <= K.g2);
    if (K.fitted == 0 || K.items.size() >= 2 * K.fitted + 16 || (out && ++K.beyond >= K.fitted / 16 + 16))
      return refit(K, live);
    K.size = std::max(K.size, std::fabs(size));
    K.x1 = std::min(K.x1, xlo), K.y1 = std::min(K.y1, ylo), K.x2 = std::max(K.x2, xhi), K.y2 = std::max(K.y2, yhi);
    K.grid.add(xlo, ylo, xhi, yhi, item);
  }
  // Takes the point item of the size given out of its bucket; the class's list keeps it
  // until live refuses it at a fit.
  template <class L> void remove(double x, double y, double size, T item, L &&live) {
    Class *K = find(size);
    if (!K) return;
    std::vector<T> &b = K->grid.cells[size_t(K->grid.iy(y)) * K->grid.nx + K->grid.ix(x)];
    for (size_t k = 0; k < b.size(); k++)
      if (b[k] == item) {
        b[k] = b.back(), b.pop_back(), K->grid.held--;
        break;
      }
    if (2 * ++K->gone > K->items.size() && K->items.size() > 64) refit(*K, live);
  }
  // Enters items in their classes without fitting; fit_all then fits every class.
  void stage(double xlo, double ylo, double xhi, double yhi, double size, T item) {
    Class &K = class_of(size);
    K.items.push_back({xlo, ylo, xhi, yhi, std::fabs(size), item});
  }
  void fit_all() {
    for (int32_t c = 0; c < used; c++) refit(classes[c], [](const T &) { return true; });
  }
  // Whether the box meets class K's.
  static bool meets(const Class &K, double xlo, double ylo, double xhi, double yhi) {
    return !K.items.empty() && !(xhi < K.x1 || xlo > K.x2 || yhi < K.y1 || ylo > K.y2);
  }
  template <class F> void query(double xlo, double ylo, double xhi, double yhi, F &&f) const {
    for (int32_t c = 0; c < used; c++)
      if (meets(classes[c], xlo, ylo, xhi, yhi)) classes[c].grid.query(xlo, ylo, xhi, yhi, f);
  }
  void clear() {
    for (int32_t c = 0; c < used; c++) classes[c].items.clear(), classes[c].grid.clear();
    used = 0;
  }
  void release() {
    classes.clear(), classes.shrink_to_fit();
    used = 0;
  }
};

// ---- The call's problem, mesh, domain and region being filled -------------------------------
pde *P = nullptr;
Mesh *M = nullptr;
Domain *D = nullptr;
uint16_t current_region = 0;

MeshNode &node(int32_t n) { return M->nodes.data[n - 1]; }
Pt at(int32_t n) { return {node(n).x, node(n).y}; }
double sq(double x) { return x * x; }
double dist2(Pt a, Pt b) { return sq(a.x - b.x) + sq(a.y - b.y); }
bool in_region(Pt p) {
  double q[2] = {p.x, p.y};
  return domain_find_region(D, q) == current_region;
}
bool drawable(uint16_t view) { return view != 0; }

// Stops the mesh generation of region r at the place it cannot go on from.
[[noreturn]] void stall(uint16_t r, Pt place) {
  static char text[96];
  snprintf(text, sizeof text, "Mesh generation stalled in region %d near (%g,%g)!", r, place.x, place.y);
  String message{uint16_t(strlen(text)), uint16_t(sizeof text - 1), text};
  except_uncle(&message);
}

String label(const char *text) { return String{uint16_t(strlen(text)), 0, const_cast<char *>(text)}; }

// The user's spacing (MESH_SPACING, MESH_DENSITY) graded over the domain: sampled on a
// grid of an eighth of the base spacing when the region is entered, then lowered so that
// no sample exceeds another plus the growth rate times their distance. The front reads
// that graded field, and so narrows toward a sudden drop of the user's spacing before it
// reaches it.
struct Grading {
  bool on = false;
  double x0 = 0, y0 = 0, step = 1, g = 0.25;
  int32_t nx = 0, ny = 0;
  std::vector<double> G;
  void build(uint16_t r) {
    on = (r >= 1 && r <= D->regions.count && D->regions.data[r - 1].spacing) || D->spacing;
    if (!on) return;
    const rect3d &b = D->grid.box;
    double w = std::max(b.x2 - b.x1, 0.0), h = std::max(b.y2 - b.y1, 0.0);
    double base = D->features.basespacing > 0 ? D->features.basespacing : std::max(w, h);
    step = std::max({base / 8, w / 255, h / 255, 1e-300});
    g = D->grofac > 0 ? D->grofac : 0.25;
    x0 = b.x1, y0 = b.y1, nx = int32_t(w / step) + 2, ny = int32_t(h / step) + 2;
    G.assign(size_t(nx) * ny, 0);
    for (int32_t j = 0; j < ny; j++)
      for (int32_t i = 0; i < nx; i++) {
        double q[2] = {x0 + i * step, y0 + j * step};
        G[size_t(j) * nx + i] = gromesh2_user_feature(P, q, r, 0);
      }
    // Two sweeps each way over the eight neighbours.
    const double a = g * step, d = g * step * std::sqrt(2.0);
    auto relax = [&](int32_t i, int32_t j, int32_t di) {
      double &v = G[size_t(j) * nx + i];
      auto at = [&](int32_t u, int32_t w2, double add) {
        if (u >= 0 && u < nx && w2 >= 0 && w2 < ny) v = std::min(v, G[size_t(w2) * nx + u] + add);
      };
      at(i - di, j, a), at(i, j - di, a), at(i - di, j - di, d), at(i + di, j - di, d);
    };
    for (int pass = 0; pass < 2; pass++) {
      for (int32_t j = 0; j < ny; j++)
        for (int32_t i = 0; i < nx; i++) relax(i, j, 1);
      for (int32_t j = ny - 1; j >= 0; j--)
        for (int32_t i = nx - 1; i >= 0; i--) relax(i, j, -1);
    }
  }
  // The graded value at q where the spacing found so far is h: the user's value at q,
  // the least over the four grid points around q of the point's value plus the growth
  // over the distance, and the same over probes at a half, one and two times h in eight
  // directions, which see a drop finer than the grid.
  double at(const double *q, double h) const {
    double v = gromesh2_user_feature(P, q, current_region, 0);
    if (!on) return v;
    h = std::min(h, v);
    for (double f : {0.5, 1.0, 2.0})
      for (int k = 0; k < 8; k++) {
        double rho = f * h, probe[2] = {q[0] + rho * std::cos(k * 0.7853981633974483),
                                        q[1] + rho * std::sin(k * 0.7853981633974483)};
        v = std::min(v, gromesh2_user_feature(P, probe, current_region, 0) + g * rho);
      }
    int32_t i = std::clamp(int32_t(std::floor((q[0] - x0) / step)), 0, nx - 2);
    int32_t j = std::clamp(int32_t(std::floor((q[1] - y0) / step)), 0, ny - 2);
    for (int32_t dj = 0; dj < 2; dj++)
      for (int32_t di = 0; di < 2; di++) {
        double px = x0 + (i + di) * step, py = y0 + (j + dj) * step;
        v = std::min(v, G[size_t(j + dj) * nx + i + di] + g * std::hypot(q[0] - px, q[1] - py));
      }
    return v;
  }
  // The cells the front makes at least inside region r at the graded spacing, no coarser
  // than base: each square of the grid whose four corners lie in r counts its area over
  // that of the equilateral cell of the largest spacing at its corners; a square r holds
  // only in part counts nothing, so that the count stays below what the front makes.
  // owners holds the region of every grid point (found on the first call: the grid is the
  // same for every region).
  double cells_within(uint16_t r, double base, std::vector<uint16_t> &owners) const {
    if (!on || nx < 2 || ny < 2) return 0;
    if (owners.size() != G.size()) {
      owners.assign(G.size(), 0);
      for (int32_t j = 0; j < ny; j++)
        for (int32_t i = 0; i < nx; i++) {
          double q[2] = {x0 + i * step, y0 + j * step};
          owners[size_t(j) * nx + i] = domain_find_region(D, q);
        }
    }
    const double cap = base > 0 ? base : HUGE_VAL;
    double cells = 0;
    for (int32_t j = 0; j + 1 < ny; j++)
      for (int32_t i = 0; i + 1 < nx; i++) {
        const size_t k = size_t(j) * nx + i, corners[4] = {k, k + 1, k + nx, k + nx + 1};
        double h = 0;
        bool inside = true;
        for (size_t c : corners) inside = inside && owners[c] == r, h = std::max(h, std::min(G[c], cap));
        // A spacing below 1e-150 of the grid's step asks more cells than any count holds
        // (its square would be no number at all).
        if (inside && h > 0) cells += h < 1e-150 * step ? HUGE_VAL : step * step / (0.4330127018922193 * h * h);
      }
    return cells;
  }
};

// ---- The front's record -------------------------------------------------------------------
// Everything the front builds and works on, created by each meshing call, handed to the steps
// that work on it and gone with the call: no leg, list or grid of one call reaches the next.
struct Front {
  std::vector<leg *> legs;  // records 1..capacity; positions 1..count are in use
  int32_t legcount = 0;
  std::vector<LegList> nodelegs;               // per node: the live legs that start or end there
  std::vector<int32_t> dirty;                  // nodes whose leg lists may be nonempty
  // The node grid: the front's nodes and the joint nodes, by position. A node is in it
  // while ingrid holds it; its entries in nodegrid stay after it leaves until its class
  // is fitted again, so that every search tests ingrid.
  SizedGrids<int32_t> nodegrid;
  std::vector<uint8_t> ingrid;  // per node: in the node grid
  // The nodes of the node grid that have lost their legs, in buckets of a fixed size over
  // the domain: nearest drops those of the buckets its search box meets from the node
  // grid, and so which nodes the grid still holds does not hang on how it is laid out.
  Buckets<int32_t> idle;
  std::vector<uint32_t> seen;  // per node: the last search or fit that met it
  uint32_t seen_mark = 0;
  SizedGrids<leg *> leggrid;  // the legs at positions 1..count, by box
  double node_hmax = 0;       // the largest node spacing
  uint32_t stamp = 0;
  bool indexing = false;  // the node grid is live (during the front)
  // The work bound of the region being filled: every new node claims the area of its
  // spacing (that of two equilateral cells); more than a few times the region's area
  // claimed means the front goes round without closing. A spacing that shrinks without
  // end is bounded by the problem's node limit instead.
  double claimed = 0, claim_limit = 0;
  // The node count at which the front stops: the node limit, or, when no boundary spacing
  // is finer than the base spacing (the coarsest first mesh the domain allows), a few
  // times the count its boundary layout promises, so that the driver can say how many
  // nodes that mesh needs; 0 for none.
  int64_t node_cap = 0;
  Pt stalled_at{0, 0};
  bool stalled = false;
  std::vector<double> least_spacing;  // per edge the least spacing of its samples, while the front runs
  Grading grading;
  // Whether the region being filled asks the base spacing everywhere, and the spacing
  // gspace_feature then gives at every point.
  bool uniform = false;
  double uniform_h = 0;
  // Deletes the leg records (the list itself is left to the caller).
  void drop_legs() {
    for (leg *l : legs) delete l;
    XMEM -= int64_t(legs.size()) * int64_t(sizeof(leg) + sizeof(leg *));
  }
  ~Front() { drop_legs(); }
};

double gspace_feature(Front *F, Pt p) {
  if (F->uniform) return F->uniform_h;
  double q[2] = {p.x, p.y};
  double h = dfeature_space_feature(D, q, &M->nodes, F->least_spacing.empty() ? nullptr : F->least_spacing.data());
  h = std::min(h, dominpde_threed_feature(P, D, q, current_region));
  return std::min(h, F->grading.at(q, h));
}

// Whether region r asks the base spacing everywhere: no user spacing reaches it (the
// standard user feature gives DOMAIN_HUGE for a point of a region without one), no
// surface steepness, no fixed point, no grading, and no edge sample below the base
// spacing with a growth rate of at least 0 (the edges' part is then the base spacing);
// if so, the spacing gspace_feature works out from those parts, the same at every point.
void set_uniform(Front *F, uint16_t r) {
  F->uniform = false;
  const Domain *d = P->mesh.domain;
  if (gromesh2_user_feature != dominpde_user_feature || !d || r < 1 || r > d->regions.count) return;
  if (d->regions.data[r - 1].spacing || d->spacing || F->grading.on) return;
  if ((P->steepness > 0 && D->surfaces > 1) || D->unattached.count || !(D->grofac >= 0)) return;
  double b = D->features.basespacing;
  if (F->least_spacing.empty() || !(*std::min_element(F->least_spacing.begin(), F->least_spacing.end()) >= b)) return;
  F->uniform = true;
  F->uniform_h = std::min(std::min(b, DOMAIN_HUGE), DOMAIN_HUGE);
}

// The spacing the front works to next to a leg of spacing h: no less than half of h, so
// that a spacing asked to drop faster than the grading sees is reached by halves, layer
// after layer, instead of by cells the front's tests refuse. A spacing within the
// domain's tolerance is no spacing a mesh can follow: the front refuses it as it comes.
double gspace_next(Front *F, Pt p, double h) {
  double g = gspace_feature(F, p);
  return g <= D->grid.tolerance ? g : std::max(g, 0.5 * h);
}

// The node and cell tables grow by doubling while the front runs, so that the copies
// their growth makes stay a small multiple of the final size.
void reserve_tables() {
  if (M->nodes.count + 2 >= M->nodes.capacity)
    cellnode_resize_1(&M->nodes, M->nodes.count, std::max(2 * M->nodes.capacity, 1024));
  if (M->cells.count + 2 >= M->cells.capacity)
    cellnode_resize_0(&M->cells, M->cells.count, std::max(2 * M->cells.capacity, 1024));
}

// Before a region that asks the base spacing everywhere is filled, the tables grow at once
// to the size their doubling reaches for the cells and nodes its front makes there,
// estimated from below: four fifths of the equilateral cells of that side over its area
// (the front's cells come out 0.82 to 0.87 of those on the square and the L-shape from
// 20 to 340 a side) and half as many nodes. The tables then hold what doubling would
// give them, without most of the copies on the way. The node cap bounds both counts.
void reserve_region(Front *F, double area) {
  if (!F->uniform) return;
  double h = D->features.basespacing, cells = 0.8 * area / (0.4330127018922193 * h * h);
  if (!(h > 0) || !(cells >= 1)) return;
  double nodes = 0.5 * cells + 16;
  if (F->node_cap > 0) nodes = std::min(nodes, double(F->node_cap)), cells = std::min(cells, 2.0 * nodes + 64);
  if (!(cells < 1e8)) return;
  // The capacity reserve_tables reaches once count records are held.
  auto doubled = [](int32_t capacity, double count) {
    while (count + 2 >= capacity) capacity = std::max(2 * capacity, 1024);
    return capacity;
  };
  int32_t c = doubled(M->cells.capacity, M->cells.count + cells),
          n = doubled(M->nodes.capacity, M->nodes.count + nodes);
  if (c > M->cells.capacity) cellnode_resize_0(&M->cells, M->cells.count, c);
  if (n > M->nodes.capacity) cellnode_resize_1(&M->nodes, M->nodes.count, n);
}

int32_t new_layout_node(Front *F, double x, double y, double h) {
  if (F->indexing) reserve_tables();
  int32_t n = meshes_new_node_0(M, x, y, current_region);
  node(n).spacing = float(h);
  if (int32_t(F->nodelegs.size()) < n) F->nodelegs.resize(n), F->ingrid.resize(n), F->seen.resize(n);
  return n;
}

// Enters a node in the node grid: the candidates of nearest are the joint nodes and the
// nodes with live legs, and a node enters when it gets its first leg.
// The test a fit of the node grid keeps an entry by: the node is in the grid, and the
// entry is its first one met in this fit.
struct GridLive {
  Front *F;
  uint32_t mark;
  explicit GridLive(Front *f) : F(f), mark(++f->seen_mark) {}
  bool operator()(int32_t n) const {
    if (!F->ingrid[n - 1] || F->seen[n - 1] == mark) return false;
    F->seen[n - 1] = mark;
    return true;
  }
};

void grid_node(Front *F, int32_t n) {
  if (!F->indexing || F->ingrid[n - 1]) return;
  F->ingrid[n - 1] = 1;
  double x = node(n).x, y = node(n).y;
  F->nodegrid.insert(x, y, x, y, node(n).spacing, n, GridLive(F));
  F->node_hmax = std::max(F->node_hmax, double(node(n).spacing));
}

// Drops node n from the node grid.
void ungrid_node(Front *F, int32_t n) {
  F->ingrid[n - 1] = 0;
  F->nodegrid.remove(node(n).x, node(n).y, node(n).spacing, n, GridLive(F));
}

// A node of the grid without legs that is not a joint node is one that nearest drops.
void note_idle(Front *F, int32_t n) {
  if (F->indexing && F->ingrid[n - 1] && node(n).kind != 1 && F->nodelegs[n - 1].empty())
    F->idle.add(node(n).x, node(n).y, n);
}

// ---- Leg list ---------------------------------------------------------------------------

void resize_legs(Front *F, int32_t capacity) {
  int32_t old = int32_t(F->legs.size());
  F->legs.resize(capacity);
  for (int32_t k = old; k < capacity; k++) {
    F->legs[k] = new leg{};
    XMEM += sizeof(leg);
  }
  XMEM += int64_t(capacity - old) * int64_t(sizeof(leg *));
}

void release_legs(Front *F) {
  F->drop_legs();
  F->legs.clear(), F->legs.shrink_to_fit();
  F->least_spacing.clear();
  F->uniform = false;
  F->legcount = 0;
  F->nodelegs.clear(), F->nodelegs.shrink_to_fit();
  F->ingrid.clear(), F->ingrid.shrink_to_fit();
  F->seen.clear(), F->seen.shrink_to_fit();
  F->dirty.clear();
  F->nodegrid.release(), F->leggrid.release(), F->idle.release();
  F->indexing = false;
}

void log_link(Front *F, int32_t n, int32_t l) {
  LegList &v = F->nodelegs[n - 1];
  if (v.empty()) F->dirty.push_back(n), grid_node(F, n);
  v.push_back(l);
}

void unlog_link(Front *F, int32_t n, int32_t l) {
  LegList &v = F->nodelegs[n - 1];
  for (int32_t k = int32_t(v.end() - v.begin()); k-- > 0;)
    if (v.begin()[k] == l) {
      v.erase(k);
      if (v.empty()) note_idle(F, n);
      return;
    }
  debug_printf("BAD UNLOG_LINK %d, %d\n", n, l);
}

void index_leg(Front *F, leg *l, bool staged = false) {
  Pt a = at(l->a), b = at(l->b);
  double xlo = std::min(a.x, b.x), ylo = std::min(a.y, b.y), xhi = std::max(a.x, b.x), yhi = std::max(a.y, b.y);
  double size = std::max(xhi - xlo, yhi - ylo);
  if (staged) F->leggrid.stage(xlo, ylo, xhi, yhi, size, l);
  else F->leggrid.insert(xlo, ylo, xhi, yhi, size, l, [](leg *) { return true; });
}

void new_leg(Front *F, int32_t a, int32_t b, Pt p, double h) {
  if (F->legcount == int32_t(F->legs.size())) resize_legs(F, int32_t(F->legs.size()) * 6 / 5 + 10);
  leg &l = *F->legs[F->legcount++];
  l.a = a, l.b = b, l.linked = 0, l.state = 2;
  l.spacing = l.smooth = h;
  l.px = l.sx = p.x, l.py = l.sy = p.y;
  log_link(F, a, F->legcount);
  log_link(F, b, F->legcount);
  index_leg(F, &l);
}

// The first live leg in the states given (bit s for state s) from p to q; q = 0: any
// leg starting at p; p = 0: any leg ending at q.
int32_t ifactive(Front *F, int32_t p, int32_t q, unsigned states) {
  const LegList &v = F->nodelegs[(p ? p : q) - 1];
  for (int32_t k : v) {
    const leg &l = *F->legs[k - 1];
    if (!((states >> l.state) & 1)) continue;
    if ((p == 0 || l.a == p) && (q == 0 || l.b == q)) return k;
  }
  return 0;
}

void deactivate(Front *F, int32_t p, int32_t q) {
  const LegList &v = F->nodelegs[p - 1];
  for (int32_t k : v) {
    leg &l = *F->legs[k - 1];
    if (l.state && l.a == p && l.b == q) {
      if (l.state == 1 || l.state == 2) {
        l.state = 3;
        unlog_link(F, p, k);
        unlog_link(F, q, k);
      }
      return;
    }
  }
}

// Compaction: live legs move to the front of the list in order and become active.
void leg_update(Front *F) {
  static std::vector<int32_t> was;
  was.swap(F->dirty);
  for (int32_t n : was) F->nodelegs[n - 1].clear();
  F->dirty.clear();
  int32_t k = 0;
  for (int32_t i = 1; i <= F->legcount; i++) {
    leg *l = F->legs[i - 1];
    if (l->state != 1 && l->state != 2) continue;
    std::swap(F->legs[k], F->legs[i - 1]);
    k++;
    l->state = 1;
    log_link(F, l->a, k);
    log_link(F, l->b, k);
  }
  F->legcount = k;
  for (int32_t n : was) note_idle(F, n);
  F->leggrid.clear();
  for (int32_t i = 1; i <= F->legcount; i++) index_leg(F, F->legs[i - 1], true);
  F->leggrid.fit_all();
}

// ---- Geometry of legs ----------------------------------------------------------------------

// The proposed point P left of the leg a-b, its (curve-corrected) midpoint and spacing.
double place_node(Front *F, int32_t a, int32_t b, Pt *prop, Pt *mid) {
  Pt A = at(a), B = at(b);
  double m[2] = {(A.x + B.x) / 2, (A.y + B.y) / 2};
  if (node(a).kind != 0 && node(b).kind != 0) {
    uint16_t e = meshes_common_edge(M, a, b);
    if (e > 0 && D->edges.data[e - 1].shape != SHAPE_LINE) edges_push_to_bdry(&D->edges.data[e - 1], m);
  }
  *mid = {m[0], m[1]};
  double dx = B.x - A.x, dy = B.y - A.y, len = std::sqrt(dx * dx + dy * dy);
  double h0 = std::sqrt(double(node(a).spacing) * double(node(b).spacing)), tprev = 0.5, h = h0;
  for (int i = 1; i <= 41; i++) {
    double tau = std::clamp(std::sqrt(h * h0) / len, tprev - 0.1, tprev + 0.1);
    *prop = {m[0] - tau * dy, m[1] + tau * dx};
    h = std::sqrt(gspace_next(F, *prop, h0) * h);
    if (i > 20) tau = (tprev + tau) / 2;
    if (std::fabs(tau - tprev) < 0.001 * std::fabs(tau)) break;
    tprev = tau;
  }
  return h;
}

void activate(Front *F, int32_t a, int32_t b) {
  for (int32_t k : F->nodelegs[a - 1]) {
    leg &l = *F->legs[k - 1];
    if (l.a == a && l.b == b) {
      if (l.state != 1) l.state = 2;
      return;
    }
  }
  Pt p, mid;
  double h = place_node(F, a, b, &p, &mid);
  // The leg faces into the region when a point a little way towards its protonode does.
  // Inside a narrow apex the gap is thinner than a hundredth of the spacing: there the
  // point is taken a ten-thousandth of the leg's length from it.
  bool inward = in_region({0.01 * p.x + 0.99 * mid.x, 0.01 * p.y + 0.99 * mid.y});
  if (!inward) {
    Pt A = at(a), B = at(b);
    double len = std::sqrt(dist2(A, B)), off = std::sqrt(dist2(p, mid));
    double t = off > 0 ? std::min(0.01, 1e-4 * len / off) : 0;
    inward = t > 0 && t < 0.01 && in_region({t * p.x + (1 - t) * mid.x, t * p.y + (1 - t) * mid.y});
  }
  if (inward) new_leg(F, a, b, p, h);
}

// Whether the segment p-q crosses a leg at any position up to the count.
bool cross_front(Front *F, Pt p, Pt q, double tol) {
  double xlo = std::min(p.x, q.x), xhi = std::max(p.x, q.x), ylo = std::min(p.y, q.y), yhi = std::max(p.y, q.y);
  double P1[2] = {p.x, p.y}, P2[2] = {q.x, q.y}, work[2];
  uint32_t mark = ++F->stamp;
  bool hit = false;
  F->leggrid.query(xlo, ylo, xhi, yhi, [&](leg *l) {
    if (hit || l->stamp == mark) return;
    l->stamp = mark;
    Pt a = at(l->a), b = at(l->b);
    if (!(std::min(a.x, b.x) < xhi && std::max(a.x, b.x) > xlo && std::min(a.y, b.y) < yhi &&
          std::max(a.y, b.y) > ylo))
      return;
    double B[2] = {b.x, b.y}, A[2] = {a.x, a.y};
    if (lined_insect_1(P1, P2, B, A, work, tol)) hit = true;
  });
  return hit;
}

double cross(Pt A, Pt B, Pt C) { return (B.x - A.x) * (C.y - B.y) - (C.x - B.x) * (B.y - A.y); }

// The angles at A and at B of triangle A, B, C stay below arccot(-0.4).
bool blunt(Pt A, Pt B, Pt C, double x) {
  return ((A.x - C.x) * (B.x - A.x) + (A.y - C.y) * (B.y - A.y)) / x > 0.4 ||
         ((C.x - B.x) * (B.x - A.x) + (C.y - B.y) * (B.y - A.y)) / x > 0.4;
}

void draw_sides(int32_t a, int32_t b, int32_t c) {
  Pt A = at(a), B = at(b), C = at(c);
  for (uint16_t view : {M->meshview, mesher2_debug ? M->debugview : uint16_t(0)}) {
    if (!drawable(view)) continue;
    gag_drawline_1(view, A.x, A.y, C.x, C.y);
    gag_drawline_1(view, B.x, B.y, C.x, C.y);
  }
}

void linkup(Front *F, int32_t li, int32_t c, int32_t kb, int32_t ka) {
  int32_t a = F->legs[li - 1]->a, b = F->legs[li - 1]->b;
  reserve_tables();
  int32_t cell = meshes_new_cell_0(M);
  MeshCell &C = M->cells.data[cell - 1];
  C.basis = tri3, C.region = current_region;
  C.bytes.count = 0;
  meshes_new_nodecell(M, c, cell);
  meshes_new_nodecell(M, a, cell);
  meshes_new_nodecell(M, b, cell);
  meshes_renode3_0(M, cell, a, b, c);
  draw_sides(a, b, c);
  deactivate(F, a, b);
  if (ka == 0) activate(F, a, c);
  else deactivate(F, c, a);
  if (kb == 0) activate(F, c, b);
  else deactivate(F, b, c);
}

// Whether a node of the node grid other than a, b and c lies inside the triangle or on
// its sides (within a millionth of each side's length). The front test sees sides that
// cross legs, not a side that runs through a front node, nor a chain of short legs
// lying wholly inside a large triangle.
bool covers_node(Front *F, int32_t a, int32_t b, int32_t c, Pt C) {
  Pt A = at(a), B = at(b);
  double eab = 1e-6 * dist2(A, B), ebc = 1e-6 * dist2(B, C), eca = 1e-6 * dist2(C, A);
  // The nodes the test passes lie within the triangle with each side moved out by a
  // millionth of its length; at a corner of angle t that moves the corner by at most two
  // millionths of the longest side over sin t. With no sine below 1e-4 they lie within
  // 3% of the longest side of the triangle's box; a flatter triangle searches the grid whole.
  double lab = std::sqrt(dist2(A, B)), lbc = std::sqrt(dist2(B, C)), lca = std::sqrt(dist2(C, A));
  double x = cross(A, B, C), L = std::max({lab, lbc, lca});
  bool round = x > 0 && x >= 1e-4 * lab * lca && x >= 1e-4 * lab * lbc && x >= 1e-4 * lbc * lca && L < HUGE_VAL;
  double m = round ? 0.03 * L : HUGE_VAL;
  bool hit = false;
  F->nodegrid.query(std::min({A.x, B.x, C.x}) - m, std::min({A.y, B.y, C.y}) - m, std::max({A.x, B.x, C.x}) + m,
                    std::max({A.y, B.y, C.y}) + m, [&](int32_t n) {
                      if (hit || n == a || n == b || n == c || !F->ingrid[n - 1]) return;
                      Pt X = at(n);
                      hit = cross(A, B, X) > -eab && cross(B, C, X) > -ebc && cross(C, A, X) > -eca;
                    });
  return hit;
}

// Whether the segment p-q crosses an edge of the domain. A crossing lies in both boxes,
// so only the edges whose box meets the segment's are tried.
bool crosses_boundary(Pt p, Pt q) {
  static pointdlist found{};
  static BopmemWork found_work([] { pointd_free_1(&found); });
  double a[2] = {p.x, p.y}, b[2] = {q.x, q.y}, mid[2] = {(p.x + q.x) / 2, (p.y + q.y) / 2};
  double r = 0.5 * std::max(std::fabs(q.x - p.x), std::fabs(q.y - p.y));
  for (uint16_t k : spatial_edges_near(D, mid, r))
    if (edges_cross_edge(&found, &D->edges.data[k - 1], &D->joints, a, b, 1e-5)) return true;
  return false;
}

bool close_link(Front *F, int32_t li, int32_t c, double f) {
  const leg &l = *F->legs[li - 1];
  Pt A = at(l.a), B = at(l.b), C = at(c);
  double hA = node(l.a).spacing, hB = node(l.b).spacing, hC = node(c).spacing;
  double x = cross(A, B, C);
  if (x <= 0) return false;
  int32_t kb = ifactive(F, l.b, c, 6), ka = ifactive(F, c, l.a, 6);
  double Lbc = dist2(C, B), Lca = dist2(A, C), Lab = std::min(dist2(B, A), hA * hB);
  if (ka == 0 && kb == 0) {
    if ((x / Lab) * std::sqrt(hA * hB) / hC > f) return false;
    if (Lbc > f * f * Lab || Lca > f * f * Lab) return false;
  }
  if (blunt(A, B, C, x)) return false;
  double hl = std::sqrt(hA * hB);
  if (kb == 0 && Lbc > sq(f * gspace_next(F, {(B.x + C.x) / 2, (B.y + C.y) / 2}, hl))) return false;
  if (ka == 0 && Lca > sq(f * gspace_next(F, {(C.x + A.x) / 2, (C.y + A.y) / 2}, hl))) return false;
  if (!in_region({(A.x + B.x + C.x) / 3, (A.y + B.y + C.y) / 3})) return false;
  if (cross_front(F, A, C, 1e-5) || cross_front(F, B, C, 1e-5) || covers_node(F, l.a, l.b, c, C)) return false;
  linkup(F, li, c, kb, ka);
  return true;
}

struct Slot {
  double score;
  int32_t node;
};

// Closes the leg onto the best of up to four nearby front or joint nodes.
int32_t nearest(Front *F, Pt mid, int32_t li, double h, double f) {
  const leg &l = *F->legs[li - 1];
  double G = D->features.aspect > 0 ? D->features.aspect : 4.0;
  // A node without legs that is not a joint node leaves the grid when a search box
  // about the largest spacing meets its idle bucket; it comes back if it gets a leg again.
  double R = std::sqrt(G * G * F->node_hmax * h) * 1.0001;
  F->idle.prune(mid.x - R, mid.y - R, mid.x + R, mid.y + R, [&](int32_t n) {
    if (F->ingrid[n - 1] && node(n).kind != 1 && F->nodelegs[n - 1].empty()) ungrid_node(F, n);
    return false;
  });
  // Every node of spacing at most H outside sqrt(G^2 H h) scores at least G^2 and is
  // never entered. The four best of those scoring below G^2, by score and then by number
  // (each node is met once), are tried in that order.
  Slot best[4];
  int count = 0;
  auto before = [](const Slot &u, const Slot &v) {
    return u.score < v.score || (u.score == v.score && u.node < v.node);
  };
  uint32_t mark = ++F->seen_mark;
  for (int32_t k = 0; k < F->nodegrid.used; k++) {
    const auto &K = F->nodegrid.classes[k];
    double r = std::sqrt(G * G * K.size * h) * 1.0001;
    if (!F->nodegrid.meets(K, mid.x - r, mid.y - r, mid.x + r, mid.y + r)) continue;
    K.grid.query(mid.x - r, mid.y - r, mid.x + r, mid.y + r, [&](int32_t n) {
      if (!F->ingrid[n - 1] || F->seen[n - 1] == mark) return;
      F->seen[n - 1] = mark;
      if (n == l.a || n == l.b) return;
      double s = dist2(mid, at(n)) / (double(node(n).spacing) * h);
      if (!(s < G * G)) return;
      Slot c{s, n};
      if (count == 4 && !before(c, best[3])) return;
      int k = count < 4 ? count++ : 3;
      for (; k > 0 && before(c, best[k - 1]); k--) best[k] = best[k - 1];
      best[k] = c;
    });
  }
  for (int k = 0; k < count; k++)
    if (close_link(F, li, best[k].node, f)) return best[k].node;
  return 0;
}

int32_t close_links(Front *F, double f) {
  int32_t total = 0, closed;
  // Every closure makes a cell, and a front of n nodes fills at most 2 n cells: closures
  // beyond that go round a cycle of legs that opens as it closes, and the passes end.
  const int64_t bound = 2 * int64_t(M->nodes.count) + 2 * int64_t(F->legcount) + 64;
  do {
    closed = 0;
    int32_t count = F->legcount;
    for (int32_t i = 1; i <= count; i++) {
      const leg &l = *F->legs[i - 1];
      if (l.state != 1) continue;
      Pt A = at(l.a), B = at(l.b);
      double h = std::sqrt(double(node(l.a).spacing) * double(node(l.b).spacing));
      if (nearest(F, {(A.x + B.x) / 2, (A.y + B.y) / 2}, i, h, f)) closed++;
    }
    if (closed) leg_update(F);
    total += closed;
    if (display_checkkey(&P->status) || P->stop) break;
  } while (closed && total < bound);
  return total;
}

// ---- Protonodes ------------------------------------------------------------------------------

Pt midpoint(const leg &l) {
  Pt A = at(l.a), B = at(l.b);
  return {(A.x + B.x) / 2, (A.y + B.y) / 2};
}

void place_protonodes(Front *F) {
  std::vector<int32_t> active;
  for (int32_t i = 1; i <= F->legcount; i++) {
    leg &l = *F->legs[i - 1];
    l.sx = l.px, l.sy = l.py, l.smooth = l.spacing;
    if (l.state == 1) active.push_back(i);
  }
  if (active.empty()) return;
  // Leg j's midpoint reaches as far as its smoothing radius.
  static ReachGrids mids;
  std::vector<Pt> M_(F->legcount + 1), S(F->legcount + 1);
  for (int32_t i : active) M_[i] = midpoint(*F->legs[i - 1]);
  mids.sort_out(active, [&](int32_t j) { return F->legs[j - 1]->smooth; });
  mids.place([&](int32_t j) { return M_[j]; });
  std::vector<int32_t> cand;
  for (int sweep = 1; sweep <= 21; sweep++) {
    double Dm = 0, Sigma = 0;
    for (int32_t i : active) {
      const leg &li = *F->legs[i - 1];
      Pt Mi = M_[i], Si = {li.sx, li.sy}, Ai = at(li.a), Bi = at(li.b);
      double r = li.smooth, wi = r * r / (0.25 * r * r + dist2(Mi, Si));
      double X = wi * li.px, Y = wi * li.py;
      // The legs whose radius reaches S_i, in the order of their positions.
      cand.clear();
      mids.query(
          Si, [](double reach) { return reach; },
          [&](int32_t j) {
            double rj = F->legs[j - 1]->smooth;
            if (dist2(M_[j], Si) < rj * rj) cand.push_back(j);
          });
      std::sort(cand.begin(), cand.end());
      for (int32_t j : cand) {
        const leg &lj = *F->legs[j - 1];
        Pt Mj = M_[j], Aj = at(lj.a), Bj = at(lj.b);
        double rj = lj.smooth, d2 = dist2(Mj, Si);
        if ((Bi.x - Ai.x) * (Mj.y - Ai.y) - (Bi.y - Ai.y) * (Mj.x - Ai.x) < 0) continue;
        if ((Bj.x - Aj.x) * (Mi.y - Aj.y) - (Bj.y - Aj.y) * (Mi.x - Aj.x) < 0) continue;
        double w = rj * rj / (0.25 * rj * rj + d2);
        X += w * lj.px, Y += w * lj.py, wi += w;
      }
      S[i] = wi > 0 ? Pt{X / wi, Y / wi} : Si;
    }
    for (int32_t i : active) {
      leg &l = *F->legs[i - 1];
      Dm += dist2(S[i], {l.sx, l.sy});
      Sigma += S[i].x * S[i].x + S[i].y * S[i].y;
      l.sx = S[i].x, l.sy = S[i].y;
    }
    if (Dm <= 1e-6 * Sigma) break;
  }
  mids.clear();
}

void merge_protonodes(Front *F) {
  std::vector<int32_t> active;
  for (int32_t i = 1; i <= F->legcount; i++)
    if (F->legs[i - 1]->state == 1) active.push_back(i);
  if (active.empty()) return;
  // Protonodes i and j meet within half the mean of their spacings: sqrt(h_i h_j) / 2.
  static ReachGrids spots;
  spots.sort_out(active, [&](int32_t j) { return F->legs[j - 1]->smooth; });
  std::vector<Pt> S(F->legcount + 1);
  std::vector<uint8_t> has(F->legcount + 1);
  std::vector<int32_t> cand;
  for (int sweep = 1; sweep <= 11; sweep++) {
    spots.place([&](int32_t j) { return Pt{F->legs[j - 1]->sx, F->legs[j - 1]->sy}; });
    for (int32_t i : active) {
      const leg &li = *F->legs[i - 1];
      Pt Si = {li.sx, li.sy};
      double hi = li.smooth, X = 0, Y = 0, W = 0;
      cand.clear();
      spots.query(
          Si, [&](double reach) { return std::sqrt(0.25 * std::fabs(hi) * reach); },
          [&](int32_t j) {
            const leg &lj = *F->legs[j - 1];
            if (dist2(Si, {lj.sx, lj.sy}) < 0.25 * (hi * lj.smooth)) cand.push_back(j);
          });
      std::sort(cand.begin(), cand.end());
      for (int32_t j : cand) {
        const leg &lj = *F->legs[j - 1];
        double q = hi * lj.smooth, d2 = dist2(Si, {lj.sx, lj.sy});
        double w = q / (0.25 * q + d2);
        X += w * lj.sx, Y += w * lj.sy, W += w;
      }
      for (int32_t u = 0; u < D->unattached.count; u++) {
        int32_t k = D->unattached.data[u];
        double hk = node(k).spacing, d2 = dist2(at(k), Si);
        if (!(d2 < 0.25 * hi * hk)) continue;
        double w = 1 / (d2 + hk);
        X += w * node(k).x, Y += w * node(k).y, W += w;
      }
      has[i] = W > 0;
      if (W > 0) S[i] = {X / W, Y / W};
    }
    double Dm = 0, Sigma = 0;
    for (int32_t i : active) {
      leg &l = *F->legs[i - 1];
      if (!has[i] || !(dist2(S[i], {l.px, l.py}) < sq(0.5 * l.smooth))) continue;
      Dm += dist2(S[i], {l.sx, l.sy});
      Sigma += l.sx * l.sx + l.sy * l.sy;
      l.sx = S[i].x, l.sy = S[i].y;
    }
    if (Dm <= 1e-6 * Sigma) break;
  }
  spots.clear();
}

bool validate(Front *F, int32_t li, Pt C, double h) {
  const leg &l = *F->legs[li - 1];
  Pt A = at(l.a), B = at(l.b);
  double hA = node(l.a).spacing, hB = node(l.b).spacing;
  double x = cross(A, B, C);
  if (x <= 0) return false;
  if ((x / dist2(B, A)) * std::sqrt(hA * hB) / h > 10.0) return false;
  double Lbc = dist2(C, B), Lca = dist2(A, C);
  if (Lbc > 25 * hB * h || Lca > 25 * hA * h) return false;
  if (blunt(A, B, C, x)) return false;
  double hl = std::sqrt(hA * hB);
  if (Lbc > sq(5 * gspace_next(F, {(B.x + C.x) / 2, (B.y + C.y) / 2}, hl)) ||
      Lca > sq(5 * gspace_next(F, {(C.x + A.x) / 2, (C.y + A.y) / 2}, hl)))
    return false;
  if (!in_region({(A.x + B.x + C.x) / 3, (A.y + B.y + C.y) / 3})) return false;
  if (crosses_boundary(A, C) || crosses_boundary(B, C)) return false;
  return !cross_front(F, A, C, 1e-5) && !cross_front(F, B, C, 1e-5) && !covers_node(F, l.a, l.b, 0, C);
}

// Whether a front or joint node lies within a hundredth of the spacing of S: a node
// made there would make no cell of any size.
bool occupied(Front *F, Pt S, double h) {
  double r = 0.01 * h, w = 1.0001 * std::fabs(r);
  bool hit = false;
  F->nodegrid.query(S.x - w, S.y - w, S.x + w, S.y + w,
                    [&](int32_t n) { hit = hit || (F->ingrid[n - 1] && dist2(S, at(n)) <= r * r); });
  return hit;
}

int32_t link_protonodes(Front *F, pad *panel, uint16_t line) {
  int32_t count = F->legcount, made = 0;
  struct Link {
    int32_t pos, node;
  };
  std::vector<Link> links;
  static SizedGrids<int32_t> linkgrid;
  linkgrid.clear();
  linkgrid.bound = D->grid.box;
  auto enter = [&](int32_t j, int32_t m) {
    double x = node(m).x, y = node(m).y;
    linkgrid.insert(x, y, x, y, node(m).spacing, int32_t(links.size()), [](int32_t) { return true; });
    links.push_back({j, m});
  };
  for (int32_t j = 1; j <= count; j++) {
    const leg &l = *F->legs[j - 1];
    if ((l.state == 1 || l.state == 3) && l.linked) enter(j, l.linked);
  }
  std::vector<Link> cand;
  for (int32_t i = 1; i <= count; i++) {
    leg &l = *F->legs[i - 1];
    if (l.state != 1) continue;
    Pt S = {l.sx, l.sy};
    double h = l.smooth;
    int32_t got = 0;
    // 1. A fixed point within half the spacing.
    for (int32_t u = 0; u < D->unattached.count && !got; u++) {
      int32_t k = D->unattached.data[u];
      if (dist2(S, at(k)) < 0.25 * h * h && close_link(F, i, k, 5.0)) {
        got = k;
        vectorl_delete_index(&D->unattached, u + 1);
      }
    }
    // 2. A node made or reached by an earlier leg of this pass.
    if (!got) {
      cand.clear();
      double w = 0.50005 * std::fabs(h);
      linkgrid.query(S.x - w, S.y - w, S.x + w, S.y + w, [&](int32_t e) {
        const Link &k = links[e];
        if (k.pos < i) cand.push_back(k);
      });
      std::sort(cand.begin(), cand.end(), [](const Link &u, const Link &v) { return u.pos < v.pos; });
      for (const Link &k : cand) {
        const leg &lj = *F->legs[k.pos - 1];
        if (!((lj.state == 1 || lj.state == 3) && lj.linked == k.node)) continue;
        if (!(dist2(S, at(k.node)) < 0.25 * h * h)) continue;
        if (close_link(F, i, k.node, 5.0)) {
          got = k.node;
          break;
        }
      }
    }
    // 3. A new node at the protonode, unless a front node is already there.
    if (!got && !occupied(F, S, h) && validate(F, i, S, h)) {
      F->claimed += 0.8660254037844386 * h * h;
      if (F->claimed > F->claim_limit || (F->node_cap > 0 && M->nodes.count >= F->node_cap)) {
        F->stalled = true, F->stalled_at = S;
        break;
      }
      got = new_layout_node(F, S.x, S.y, h);
      linkup(F, i, got, 0, 0);
    }
    if (got) {
      l.linked = got;
      made++;
      enter(i, got);
    }
    display_update_num(panel, line, M->cells.count);
    if (display_checkkey(panel)) break;
  }
  linkgrid.clear();
  if (made > 0) leg_update(F);
  return made;
}

// ---- Fixed points left over --------------------------------------------------------------

// Splits cell c and its neighbour across side s at node X lying on that side.
void split_side(int32_t c, int s, int32_t X) {
  MeshCell *cc = &M->cells.data[c - 1];
  int32_t n = cc->neighbour[s - 1];
  const uint8_t *rs = mesh2_sides[s - 1];
  int32_t A = cc->nodes.data[rs[0] - 1], p = cc->nodes.data[rs[1] - 1], q = cc->nodes.data[rs[2] - 1];
  MeshCell *nc = &M->cells.data[n - 1];
  uint16_t t = meshes_find_side_0(&M->cells, n, c);
  const uint8_t *rt = mesh2_sides[t - 1];
  int32_t B = nc->nodes.data[rt[0] - 1];
  int32_t xq = cc->neighbour[rs[1] - 1], xp = nc->neighbour[rt[1] - 1];  // across q-A and p-B
  int32_t c2 = meshes_new_cell_0(M), n2 = meshes_new_cell_0(M);
  cc = &M->cells.data[c - 1], nc = &M->cells.data[n - 1];
  MeshCell &C2 = M->cells.data[c2 - 1], &N2 = M->cells.data[n2 - 1];
  for (auto [dst, src] : {std::pair{&C2, cc}, {&N2, nc}}) {
    dst->basis = src->basis, dst->region = src->region, dst->region2 = src->region2;
    dst->changed = 1, dst->bytes.count = 0, dst->error = src->error;
  }
  // c = (A, p, X), c2 = (A, X, q), n = (B, q, X), n2 = (B, X, p), each in its old places.
  cc->nodes.data[rs[2] - 1] = X;
  C2.nodes.data[0] = A, C2.nodes.data[1] = X, C2.nodes.data[2] = q;
  nc->nodes.data[rt[2] - 1] = X;
  N2.nodes.data[0] = B, N2.nodes.data[1] = X, N2.nodes.data[2] = p;
  cc->neighbour[rs[0] - 1] = n2, cc->neighbour[rs[1] - 1] = c2;
  C2.neighbour[0] = n, C2.neighbour[1] = xq, C2.neighbour[2] = c;
  nc->neighbour[rt[0] - 1] = c2, nc->neighbour[rt[1] - 1] = n2;
  N2.neighbour[0] = c, N2.neighbour[1] = xp, N2.neighbour[2] = n;
  meshes_fix_nabor(M, xq, c, c2);
  meshes_fix_nabor(M, xp, n, n2);
  node(X).nodecell.count = 0;
  for (int32_t k : {c, c2, n, n2}) meshes_new_nodecell(M, X, k);
  meshes_fix_nodecell(M, q, c, c2);
  meshes_fix_nodecell(M, p, n, n2);
  meshes_new_nodecell(M, A, c2);
  meshes_new_nodecell(M, B, n2);
  for (int32_t k : {c, c2, n, n2}) {
    mesh2_fix_bdid2(M, k);
    meshes_set_centroid_1(M, k);
  }
}

// A fixed point inside no cell: at a vertex (grid tolerance) the joint takes that
// vertex; on an interior side both cells are split at it.
void settle_fixed_point(int32_t X) {
  Pt x = at(X);
  double tol = D->grid.tolerance;
  for (int32_t c = 1; c <= M->cells.count; c++) {
    const MeshCell &cell = M->cells.data[c - 1];
    if (!cell.alive || cell.basis != tri3) continue;
    pointd v[3], px = {x.x, x.y};
    for (int i = 0; i < 3; i++) v[i] = {node(cell.nodes.data[i]).x, node(cell.nodes.data[i]).y};
    if (!meshes_incell_0(&v[0], &v[1], &v[2], &px, 1e-6)) continue;
    for (int i = 0; i < 3; i++) {
      int32_t n = cell.nodes.data[i];
      if (std::hypot(v[i].x - x.x, v[i].y - x.y) > tol) continue;
      uint16_t j = node(X).id;
      if (j >= 1 && j <= M->jointnodes.count) M->jointnodes.data[j - 1] = n;
      if (node(n).kind == 0) node(n).kind = 1, node(n).id = j;
      return;
    }
    // The side with the smallest relative distance to the point.
    int best = 0;
    double least = HUGE_VAL;
    for (int s = 1; s <= 3; s++) {
      const pointd &a = v[s % 3], &b = v[(s + 1) % 3];
      double len = std::hypot(b.x - a.x, b.y - a.y);
      double h = std::fabs((b.x - a.x) * (x.y - a.y) - (b.y - a.y) * (x.x - a.x)) / len;
      if (h < least) least = h, best = s;
    }
    if (cell.neighbour[best - 1] <= 0) return;
    split_side(c, best, X);
    node(X).alive = 1;
    return;
  }
}

void insert_fixed_points() {
  for (int32_t u = 0; u < D->unattached.count; u++) {
    int32_t X = D->unattached.data[u];
    if (X < 1 || X > M->nodes.count || node(X).nodecell.count) continue;
    node(X).alive = 0;
    pointd px = {node(X).x, node(X).y};
    for (int32_t c = 1; c <= M->cells.count; c++) {
      const MeshCell &cell = M->cells.data[c - 1];
      if (!cell.alive) continue;
      pointd v[3];
      for (int i = 0; i < 3; i++) v[i] = {node(cell.nodes.data[i]).x, node(cell.nodes.data[i]).y};
      if (meshes_incell_0(&v[0], &v[1], &v[2], &px, -1e-6)) {
        refine2_radial_split_tri3(M, c, X);
        node(X).alive = 1;
        break;
      }
    }
    if (!node(X).alive) settle_fixed_point(X);
  }
}

void status_pair(pad *panel, uint16_t *l1, uint16_t *l2, uint16_t r) {
  String a = label("REGION "), b = label("CELLS ");
  *l1 = display_report_num(panel, 0, &a, r);
  *l2 = display_report_num(panel, 0, &b, M->cells.count);
}

// The run of a side's nodes from its samples: t[k], the steps of the spacing from its start
// to sample k; the whole run T (its count of cells) is returned.
double side_steps(const featureitem &it, std::vector<double> &t) {
  int32_t mcount = it.samples.count;
  const double *s = it.distances.data, *h = it.spacings.data;
  t.assign(size_t(std::max(mcount, 1)), 0.0);
  for (int32_t k = 1; k < mcount; k++) {
    // A spacing of nothing, or one below 1e-200 of its stretch, asks more steps than any
    // count holds (the division would be no number).
    double d = s[k] - s[k - 1], hm = (h[k] + h[k - 1]) / 2;
    t[k] = t[k - 1] + (hm > 0 && hm >= 1e-200 * std::fabs(d) ? d / hm : HUGE_VAL);
  }
  return mcount ? t[mcount - 1] : 0;
}

// Before a boundary node is laid, the layout is checked against the node limit from the
// spacings alone, so that a layout that cannot fit stops at once rather than after millions
// of nodes were laid. One side alone with more nodes than the limit allows (a spacing far
// below the side's length) is refused while its count still fits the node numbers (a limit
// of 0, no limit, still stops at a billion). A domain whose regions' own spacings ask more
// nodes inside them than the limit allows (MESH_SPACING = 1e-4 on a unit square) is refused
// with a count the mesh is sure to need: at least four fifths of spaced_cells (the cells
// those spacings ask; the front makes 0.82 to 0.87 of the equilateral ones) with the B nodes
// of the domain's outline make, by Euler's relation, (T + B + 2) / 2 vertices and
// (3 T + B) / 2 sides, each side carrying order - 1 nodes.
void refuse_spaced_layout(pde *p, const std::vector<double> &spaced_cells) {
  const int32_t regions = D->regions.count;
  auto meshed = [&](uint16_t r) { return r >= 1 && r <= regions && D->regions.data[r - 1].type == 0; };
  std::vector<double> t;
  double boundary = 0, outline = 0;
  for (uint16_t e = 1; e <= D->edges.count; e++) {
    const Edge &E = D->edges.data[e - 1];
    if (E.external || E.image) continue;
    double T = e <= D->features.count ? side_steps(D->features.items[e - 1], t) : 0;
    if (!(T <= (p->nodelimit > 0 ? double(p->nodelimit) : 1e9)))
      mesher2_refuse_first_mesh(p, int64_t(std::min(T, 9.0e18)), true);
    double n = std::max(1.0, std::round(T));
    boundary += n;
    if (meshed(E.side_regions[0]) != meshed(E.side_regions[1])) outline += n;
  }
  if (p->nodelimit <= 0) return;
  double T = 0;
  for (size_t r = 1; r < spaced_cells.size(); r++) T += 0.8 * spaced_cells[r];
  if (!(T > 0)) return;
  const double order = p->basis == tri9 ? 3 : p->basis == tri6 ? 2 : 1;
  const double V = std::max((T + outline + 2) / 2, boundary), least = V + (order - 1) * (3 * T + outline) / 2;
  if (least > p->nodelimit) mesher2_refuse_first_mesh(p, int64_t(std::min(least, 9.0e18)), true);
}

}  // namespace

int gromesh2_init() {
  TRACE("gromesh2");
  return 0;
}

// ---- Boundary node layout -------------------------------------------------------------------

void gromesh2_grid_edges(pde *p, Mesh *m) {
  TRACE("gromesh2_grid_edges_0");
  Front front;  // this call's front, handed to every step that works on it
  Front *F = &front;
  P = p, M = m, D = m->domain;
  // 1. The maps.
  vectorl_resize(&m->jointnodes, D->joints.count, std::max<int32_t>(D->joints.count, m->jointnodes.capacity));
  for (int32_t j = 0; j < m->jointnodes.count; j++) m->jointnodes.data[j] = 0;
  vector2l_resize(&m->edgenodes, D->edges.count, std::max<int32_t>(D->edges.count, m->edgenodes.capacity));
  for (int32_t e = 0; e < m->edgenodes.count; e++) m->edgenodes.data[e].count = 0;
  D->unattached.count = 0;
  // 2. Joint nodes.
  for (uint16_t j = 1; j <= D->joints.count; j++) {
    const Joint &J = D->joints.data[j - 1];
    bool meshed = J.kind == 3;
    for (int32_t k = 0; k < J.edges.count && !meshed; k++) meshed = !D->edges.data[J.edges.data[k] - 1].external;
    if (!meshed) continue;
    double h = j <= D->features.jointspacing.count ? D->features.jointspacing.data[j - 1] : D->features.basespacing;
    int32_t n = new_layout_node(F, J.x, J.y, h);
    node(n).kind = 1, node(n).id = j;
    m->jointnodes.data[j - 1] = n;
    vectorl_insert_0(&D->unattached, n);
  }
  // 3. Images of periodic joints.
  bool periodic_on = D->periodics.count && !D->perextrude;
  if (periodic_on)
    for (uint16_t j = 1; j <= D->joints.count; j++) {
      uint16_t im = D->joints.data[j - 1].image;
      if (im && m->jointnodes.data[j - 1] && m->jointnodes.data[im - 1])
        vectorll_insert(&m->images, m->jointnodes.data[j - 1], m->jointnodes.data[im - 1]);
    }
  // The samples of every edge follow the user's spacing as graded over each region
  // beside it, as the front reads it inside: a step of MESH_SPACING across an edge is
  // then met by boundary nodes that widen at the growth rate, not in one jump.
  // The cells each region's own spacing asks inside it, counted on the same grid.
  std::vector<double> spaced_cells(size_t(D->regions.count) + 1, 0);
  std::vector<uint16_t> owners;
  for (uint16_t r = 1; r <= D->regions.count; r++) {
    if (!D->regions.data[r - 1].spacing && !D->spacing) continue;
    current_region = r;
    F->grading.build(r);
    if (p->nodelimit > 0 && D->regions.data[r - 1].type == 0)
      spaced_cells[r] = F->grading.cells_within(r, D->features.basespacing, owners);
    for (uint16_t e = 1; e <= D->edges.count && e <= D->features.count; e++) {
      const Edge &E = D->edges.data[e - 1];
      if (E.external || E.image || (E.side_regions[0] != r && E.side_regions[1] != r)) continue;
      featureitem &it = D->features.items[e - 1];
      for (int32_t k = 0; k < it.samples.count; k++) {
        double q[2] = {it.samples.data[k].x, it.samples.data[k].y};
        it.spacings.data[k] = std::min(it.spacings.data[k], F->grading.at(q, it.spacings.data[k]));
      }
    }
  }
  F->grading.on = false;
  refuse_spaced_layout(p, spaced_cells);
  // 4.-6. Every meshed edge from its feature item.
  String bl = label("BOUNDARY ");
  uint16_t line = display_report_num(&p->status, 0, &bl, 0);
  for (uint16_t e = 1; e <= D->edges.count; e++) {
    const Edge &E = D->edges.data[e - 1];
    if (E.external || E.image) continue;
    display_update_num(&p->status, line, e);
    vectorl &list = m->edgenodes.data[e - 1];
    int32_t first = m->jointnodes.data[E.joint1 - 1], last = m->jointnodes.data[E.joint2 - 1];
    vectorl_delete(&D->unattached, first);
    node(first).kind = 1, node(first).id = E.joint1;
    vectorl_one_more(&list, first);
    if (e <= D->features.count) {
      const featureitem &it = D->features.items[e - 1];
      int32_t mcount = it.samples.count;
      const double *s = it.distances.data, *h = it.spacings.data;
      std::vector<double> t;
      double T = side_steps(it, t);
      // A joint node's spacing is no larger than the edge's own spacing at that end: the
      // edge's samples were lowered by what they face, the joint's figure was not.
      if (mcount) {
        node(first).spacing = std::min(node(first).spacing, float(h[0]));
        node(last).spacing = std::min(node(last).spacing, float(h[mcount - 1]));
      }
      int32_t n = int32_t(std::round(T));
      if (n < 2) n = 1;
      int32_t k = 0;
      for (int32_t i = 1; i < n; i++) {
        double tau = i * (T / n);
        while (t[k + 1] <= tau && k < mcount - 2) k++;
        double phi = (tau - t[k]) / (t[k + 1] - t[k]), pt[2];
        edges_move_dist(&E, &D->joints, s[k] + phi * (s[k + 1] - s[k]), pt);
        int32_t nd = new_layout_node(F, pt[0], pt[1], h[k] + phi * (h[k + 1] - h[k]));
        node(nd).kind = 2, node(nd).id = e;
        vectorl_one_more(&list, nd);
      }
    }
    vectorl_delete(&D->unattached, last);
    vectorl_one_more(&list, last);
  }
  display_unreport(&p->status, line);
  // 7. Periodic sources copy their image's layout.
  if (periodic_on)
    for (uint16_t q = 1; q <= D->periodics.count; q++) {
      const ::periodic &dec = D->periodics.data[q - 1];
      for (int32_t k = 0; k < std::min(dec.sources.count, dec.images.count); k++) {
        uint16_t e = dec.sources.data[k], f = dec.images.data[k];
        const Edge &E = D->edges.data[e - 1], &I = D->edges.data[f - 1];
        if (E.external) continue;
        const vectorl &img = m->edgenodes.data[f - 1];
        vectorl &list = m->edgenodes.data[e - 1];
        list.count = 0;
        bool reversed = I.joint1 == D->joints.data[E.joint2 - 1].image;
        int32_t first = m->jointnodes.data[E.joint1 - 1], last = m->jointnodes.data[E.joint2 - 1];
        vectorl_delete(&D->unattached, first);
        vectorl_one_more(&list, first);
        int32_t len = img.count;
        for (int32_t i = 2; i <= len - 1; i++) {
          int32_t src = img.data[(reversed ? len - i + 1 : i) - 1];
          point3d a = {node(src).x, node(src).y, 0}, b;
          geom3d_rotate_0(&b, &dec.inverse, &a);
          int32_t nd = new_layout_node(F, b.x, b.y, node(src).spacing);
          node(nd).kind = 2, node(nd).id = e;
          vectorl_one_more(&list, nd);
          vectorll_insert(&m->images, nd, src);
        }
        vectorl_delete(&D->unattached, last);
        vectorl_one_more(&list, last);
      }
    }
  // A layout the front cannot fill within the node limit stops here, rather than after a
  // front of hours: at its finest node when that lies in a region thinner than its
  // spacing, else with the least count of nodes the first mesh needs (the text of a
  // drawing whose first mesh is counted once made). The count is a lower bound, so that
  // no layout that fits is stopped: every distinct boundary node is a vertex; every
  // boundary node fans out into at least about 1 / (4 g) nodes on each side where a
  // region lies (cells grow from h at the rate g), but a region holds no more of them than
  // the area left inside a band of half its coarsest boundary spacing along its boundary,
  // over the square of its finest (a strip thinner than its spacing has none inside); a
  // triangulation of V vertices, all of them possibly on the boundary, has at least 2 V - 3
  // sides, each carrying order - 1 side nodes.
  {
    int32_t finest = 0;
    uint16_t where = 1;
    const int32_t regions = D->regions.count;
    std::vector<double> fan(size_t(regions) + 1, 0), coarsest(size_t(regions) + 1, 0),
        finest_in(size_t(regions) + 1, HUGE_VAL), perimeter(size_t(regions) + 1, 0);
    std::vector<char> seen(size_t(m->nodes.count) + 1, 0);
    double g = D->grofac > 0 ? D->grofac : 0.25, order = p->basis == tri9 ? 3 : p->basis == tri6 ? 2 : 1;
    int64_t vertices = 0;
    for (int32_t e = 1; e <= m->edgenodes.count; e++) {
      const vectorl &l = m->edgenodes.data[e - 1];
      const Edge &E = D->edges.data[e - 1];
      double widest = 0, narrowest = HUGE_VAL;
      for (int32_t i = 0; i < l.count; i++) {
        int32_t n = l.data[i];
        if (n >= 1 && n <= m->nodes.count && !seen[size_t(n)]) seen[size_t(n)] = 1, vertices++;
        widest = std::max(widest, double(node(n).spacing));
        narrowest = std::min(narrowest, double(node(n).spacing));
        if (!finest || node(n).spacing < node(finest).spacing) {
          finest = n;
          where = E.side_regions[0] ? E.side_regions[0] : E.side_regions[1] ? E.side_regions[1] : where;
        }
      }
      for (uint16_t r : {E.side_regions[0], E.side_regions[1]})
        if (r >= 1 && r <= regions && D->regions.data[r - 1].type == 0) {
          fan[r] += l.count * 0.25 / g, perimeter[r] += E.length;
          coarsest[r] = std::max(coarsest[r], widest), finest_in[r] = std::min(finest_in[r], narrowest);
        }
    }
    double inside = 0;
    std::vector<char> thin(size_t(regions) + 1, 0);  // no core inside the band
    for (size_t r = 1; r <= size_t(regions); r++)
      if (fan[r] > 0 && finest_in[r] > 0 && finest_in[r] < HUGE_VAL) {
        double core = mesher2_outline_area(D, D->regions.data[r - 1]) - perimeter[r] * coarsest[r] / 2;
        inside += std::min(fan[r], std::max(core, 0.0) / sq(finest_in[r]));
        thin[r] = !(core > 0);
      }
    const double V = double(vertices) + inside, least = V + (order - 1) * (2 * V - 3);
    // A layout no finer than the base spacing is the coarsest there is: the front makes
    // it, and the driver tells how many nodes it needs.
    bool fine = finest && D->features.basespacing > 0 && node(finest).spacing < 0.5 * D->features.basespacing;
    // A region thinner than its own spacing is where the front would stall: the place is
    // told. Elsewhere (a small loop inside a wide region) the count is.
    if (finest && fine && p->nodelimit > 0 && least > double(p->nodelimit)) {
      if (where <= regions && thin[where]) stall(where, at(finest));
      mesher2_refuse_first_mesh(p, int64_t(least), true);
    }
  }
  // 8. The layout in the debug log.
  if (mesher2_debug && debug_file)
    for (int32_t e = 1; e <= m->edgenodes.count; e++) {
      debug_printf("BOUNDARY SEGMENT %d, %d nodes\n", e, m->edgenodes.data[e - 1].count);
      vectorl_print_1(debug_file, &m->edgenodes.data[e - 1], "NODES:");
    }
}

// ---- The front ---------------------------------------------------------------------------------

void gromesh2_growfront(pde *p, Mesh *m) {
  TRACE("gromesh2_growfront_0");
  Front front;  // this call's front, handed to every step that works on it
  Front *F = &front;
  P = p, M = m, D = m->domain;
  pad *panel = &p->status;
  // 1. The debug view.
  if (mesher2_debug) {
    debug_printf("GROWFRONT\n");
    if (drawable(m->debugview)) gag_showwindow(m->debugview, 3);
  }
  dfeature_least_spacings(D, &F->least_spacing);
  // The node index over the domain, buckets about the smallest boundary spacing.
  double hmin = HUGE_VAL;
  F->node_hmax = 0;
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    double h = node(n).spacing;
    if (h > 0) hmin = std::min(hmin, h), F->node_hmax = std::max(F->node_hmax, h);
  }
  if (!(hmin < HUGE_VAL)) hmin = D->features.basespacing > 0 ? D->features.basespacing : D->grid.size;
  if (p->nodelimit > 0) {
    double g = D->grofac > 0 ? D->grofac : 0.25;
    bool coarse = !(D->features.basespacing > 0 && hmin < 0.5 * D->features.basespacing);
    F->node_cap =
        coarse ? std::max<int64_t>(p->nodelimit, int64_t(4 * m->nodes.count * (1 + 0.5 / g)) + 64) : p->nodelimit;
  }
  // Idle buckets of twice the base spacing: nearest's search box meets a few.
  double bucket = std::max(hmin, D->features.basespacing > 0 ? 2 * D->features.basespacing : hmin);
  F->idle.setup(D->grid.box, bucket);
  // Leg classes span a factor of four about the base spacing, so that the legs of a
  // uniform front, whose extents run from half to a little over the spacing, share one.
  F->leggrid.unit = 0.4 * (D->features.basespacing > 0 ? D->features.basespacing : hmin);
  F->leggrid.wide = 1;
  F->leggrid.bound = F->nodegrid.bound = D->grid.box;
  F->indexing = true;
  F->nodelegs.assign(m->nodes.count, {});
  F->seen.assign(m->nodes.count, 0);
  // 2. Regions from the last to the first.
  for (uint16_t r = D->regions.count; r >= 1; r--) {
    if (D->regions.data[r - 1].type != 0) continue;
    uint16_t rline, cline;
    status_pair(panel, &rline, &cline, r);
    F->legcount = 0;
    current_region = r;
    F->grading.build(r);
    set_uniform(F, r);
    for (auto &v : F->nodelegs) v.clear();
    F->dirty.clear();
    F->leggrid.clear();
    F->nodegrid.clear();
    F->idle.clear();
    F->ingrid.assign(m->nodes.count, 0);
    for (int32_t n = 1; n <= m->nodes.count; n++)
      if (node(n).kind == 1) grid_node(F, n);
    if (mesher2_debug) {
      if (drawable(m->debugview)) {
        gag_clearview_0(m->debugview);
        plot_show_region_0(m->debugview, p->styles, D, r);
      }
      debug_printf("\n BEGIN REGION %d\n", r);
    }
    // Seeding from every edge with r on a side.
    for (uint16_t e = 1; e <= D->edges.count && e <= m->edgenodes.count; e++) {
      const Edge &E = D->edges.data[e - 1];
      const vectorl &l = m->edgenodes.data[e - 1];
      for (int32_t k = 1; k < l.count; k++) {
        if (E.side_regions[0] == r) activate(F, l.data[k - 1], l.data[k]);
        if (E.side_regions[1] == r) activate(F, l.data[k], l.data[k - 1]);
      }
    }
    leg_update(F);
    // The region's area from its front (the region lies left of every leg), and the
    // work bound it sets.
    double area = 0;
    for (int32_t k = 1; k <= F->legcount; k++) {
      const leg &l = *F->legs[k - 1];
      if (l.state == 1) area += 0.5 * (node(l.a).x * node(l.b).y - node(l.b).x * node(l.a).y);
    }
    F->claimed = 0, F->claim_limit = 4 * std::fabs(area) + 100 * sq(hmin), F->stalled = false;
    reserve_region(F, std::fabs(area));
    // The cycle of series of passes.
    bool progress = true;
    // A front of n nodes fills at most 2 n cells: past that its closures go round a cycle.
    auto within_bound = [m] { return int64_t(m->cells.count) <= 2 * int64_t(m->nodes.count) + 64; };
    while (F->legcount > 0 && progress && !F->stalled && !p->stop && !p->error && within_bound()) {
      double f = 1.8;
      while (true) {
        rtlib_poll_interrupt();  // a front that does not close still ends on request
        int32_t c = close_links(F, f);
        if (mesher2_debug > 1) display_waitkey(0);
        place_protonodes(F);
        merge_protonodes(F);
        int32_t k = link_protonodes(F, panel, cline);
        if (mesher2_debug > 1) display_waitkey(0);
        f *= 1.1;
        progress = c + k != 0;
        if (F->legcount == 0 || progress || F->stalled || p->stop || p->error || f > 6.0) break;
      }
    }
    if (F->stalled) {
      release_legs(F);
      display_unreport(panel, rline);
      stall(r, F->stalled_at);
    }
    if (F->legcount > 0 && !p->stop && !p->error)
      debug_printf("REGION %d ABANDONED WITH %d OPEN LEGS\n", r, F->legcount);
    display_unreport(panel, rline);
    if (p->stop || p->error) {
      release_legs(F);
      return;
    }
    if (mesher2_debug) display_waitkey(0);
  }
  // 3.-4. Neighbours; the front's storage goes.
  mesh2_resolve_nabors2(m, 0);
  release_legs(F);
  // 5. The fixed points no leg reached.
  gromesh2_insert_points(m);
}

double gromesh2_first_mesh_cells(pde *p, Mesh *m, double *least) {
  TRACE("gromesh2_first_mesh_cells");
  P = p, M = m, D = m->domain;
  *least = 0;
  if (!D || !(D->features.basespacing > 0)) return 0;
  Front front;
  dfeature_least_spacings(D, &front.least_spacing);
  double h = D->features.basespacing, cells = 0;
  for (uint16_t r = 1; r <= D->regions.count; r++) {
    if (D->regions.data[r - 1].type != 0) continue;
    set_uniform(&front, r);
    if (!front.uniform) return 0;
    // The region's area from its boundary nodes, the region left of each edge's run as
    // the front's legs run.
    double area = 0;
    for (uint16_t e = 1; e <= D->edges.count && e <= m->edgenodes.count; e++) {
      const Edge &E = D->edges.data[e - 1];
      const vectorl &l = m->edgenodes.data[e - 1];
      double sign = (E.side_regions[0] == r ? 1.0 : 0.0) - (E.side_regions[1] == r ? 1.0 : 0.0);
      for (int32_t k = 1; k < l.count && sign != 0; k++) {
        const MeshNode &a = node(l.data[k - 1]), &b = node(l.data[k]);
        area += sign * 0.5 * (a.x * b.y - b.x * a.y);
      }
    }
    cells += std::fabs(area) / (0.4330127018922193 * h * h);
  }
  // The front's cells come out 0.82 to 0.87 of the equilateral ones (see reserve_region).
  *least = 0.8 * cells;
  return 0.85 * cells;
}

void gromesh2_insert_points(Mesh *m) {
  TRACE("gromesh2_insert_points_0");
  M = m, D = m->domain;
  insert_fixed_points();
}
