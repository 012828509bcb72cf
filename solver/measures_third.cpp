// measures_third: the floor every cell's estimate takes from its third derivatives.
#include "solver/measures_internal.h"

// ---- Third derivatives -----------------------------------------------------------------------

double measures_mean_cell(pde *p, bool unsplit_only) {
  TRACE("measures_mean_cell");
  Mesh *m = &p->mesh;
  double A = 0;
  int32_t live = 0;
  for (int32_t i = 1; i <= m->cells.count; i++) {
    if (!cell_at(m, i).alive || (unsplit_only && cell_at(m, i).bytes.count > 0)) continue;
    localize(p, i);
    A += std::fabs(work_cell.frame.measure), live++;
  }
  return live > 0 ? A / live : 0;
}

namespace {
// The third derivatives of the variables on a mesh of quadratic cells: per cell its measure and
// longest side, and per variable the largest change along a side of the second derivatives
// averaged at the vertices (the average keeps a feature two cells wide and drops a wiggle from
// cell to cell), over the side's length. Empty (cells 0) on other meshes.
struct ThirdDerivatives {
  int32_t cells = 0;
  uint16_t nfield = 0;
  std::vector<double> size;     // per cell: measure, longest side
  std::vector<double> third;    // per cell and variable
  std::vector<char> quadratic;  // per cell: alive, of the mesh's quadratic basis
  double area = 0;
  int32_t live = 0;
};

// The largest magnitude of an eigenvalue of the symmetric 3 x 3 matrix given as xx, xy, yy,
// zz, xz, yz (the trigonometric solution of its characteristic cubic).
double largest_symmetric_eigenvalue3(const double *d) {
  double a = d[0], b = d[2], c = d[3], xy = d[1], xz = d[4], yz = d[5];
  double q = (a + b + c) / 3, off = xy * xy + xz * xz + yz * yz;
  double p = std::sqrt(((a - q) * (a - q) + (b - q) * (b - q) + (c - q) * (c - q) + 2 * off) / 6);
  if (!(p > 0)) return std::fabs(q);
  double A = (a - q) / p, B = (b - q) / p, C = (c - q) / p, X = xy / p, Z = xz / p, Y = yz / p;
  double det = A * (B * C - Y * Y) - X * (X * C - Y * Z) + Z * (X * Y - B * Z);
  double phi = std::acos(std::max(-1.0, std::min(1.0, det / 2))) / 3;
  double e1 = q + 2 * p * std::cos(phi), e3 = q + 2 * p * std::cos(phi + 2.0943951023931953), e2 = 3 * q - e1 - e3;
  return std::max({std::fabs(e1), std::fabs(e2), std::fabs(e3)});
}

ThirdDerivatives third_derivatives(pde *p, vector2d *values, const std::vector<double> *seconds) {
  ThirdDerivatives t;
  Mesh *m = &p->mesh;
  int32_t b = m->meshbasis ? m->meshbasis : m->cellbasis;
  int dim = elements_dimension[b], nv = dim + 1, nf = elements_functions[b];
  int32_t ncells = m->cells.count, nnodes = m->nodes.count;
  uint16_t nfield = uint16_t(std::min<int>(p->nfield, 32));
  if (!(elements_order[b] == 2 && dim <= 3 && nfield > 0)) return t;
  t.cells = ncells, t.nfield = nfield;
  // Per variable the second derivatives xx, xy, yy, and in three dimensions also zz, xz, yz.
  const size_t S = seconds_width(p), H = S * size_t(nfield);
  t.size.assign(2 * size_t(ncells), 0.0);
  t.third.assign(size_t(nfield) * size_t(ncells), 0.0);
  t.quadratic.assign(size_t(ncells), 0);
  std::vector<double> hess(H * size_t(nnodes), 0.0);
  std::vector<int32_t> around(size_t(nnodes), 0);
  aim(p, values, p->time);
  const double *L = elements_centroid[dim].L;
  double u[20];
  size_t K = kept_width(p);
  bool kept = seconds && seconds->size() == K * size_t(ncells);
  for (int32_t i = 1; i <= ncells; i++) {
    MeshCell &cell = cell_at(m, i);
    if (!cell.alive || cell.basis != b) continue;
    t.quadratic[size_t(i - 1)] = 1;
    double d[6 * 32];
    if (kept) {
      const double *k = seconds->data() + K * size_t(i - 1);
      t.size[2 * size_t(i - 1)] = k[0], t.size[2 * size_t(i - 1) + 1] = k[1];
      std::copy(k + 2, k + K, d);
    } else {
      localize(p, i);
      ElementFrame *f = &work_cell.frame;
      t.size[2 * size_t(i - 1)] = std::fabs(f->measure);
      t.size[2 * size_t(i - 1) + 1] = longest_side(f, nv, dim);
      for (uint16_t v = 1; v <= nfield; v++) {
        const vectord *uv = &values->data[v - 1];
        for (int k = 0; k < nf; k++) u[k] = uv->data[cell.nodes.data[k] - 1];
        double D[3][3];
        elements_interp_seconds(b, L, f, u, D);
        double *dv = d + S * (v - 1);
        dv[0] = D[0][0], dv[1] = D[0][1], dv[2] = D[1][1];
        if (S == 6) dv[3] = D[2][2], dv[4] = D[0][2], dv[5] = D[1][2];
      }
    }
    t.area += t.size[2 * size_t(i - 1)], t.live++;
    for (int a = 0; a < nv; a++) {
      int32_t n = cell.nodes.data[a];
      around[size_t(n - 1)]++;
      for (size_t k = 0; k < H; k++) hess[size_t(n - 1) * H + k] += d[k];
    }
  }
  for (int32_t n = 1; n <= nnodes; n++)
    for (size_t k = 0; k < H && around[size_t(n - 1)] > 0; k++) hess[size_t(n - 1) * H + k] /= around[size_t(n - 1)];
  for (int32_t i = 1; i <= ncells; i++) {
    if (!t.quadratic[size_t(i - 1)]) continue;
    MeshCell &cell = cell_at(m, i);
    for (uint16_t v = 1; v <= nfield; v++) {
      double D = 0;
      for (int a = 0; a < nv; a++)
        for (int c = a + 1; c < nv; c++) {
          int32_t na = cell.nodes.data[a], nc = cell.nodes.data[c];
          const MeshNode &pa = m->nodes.data[na - 1], &pc = m->nodes.data[nc - 1];
          const double *s = &hess[size_t(na - 1) * H + S * (v - 1)], *e = &hess[size_t(nc - 1) * H + S * (v - 1)];
          double dx = pa.x - pc.x, dy = pa.y - pc.y, dz = dim == 3 ? pa.z - pc.z : 0.0;
          double dist = std::sqrt(dx * dx + dy * dy + dz * dz), sq = 0;
          for (size_t k = 0; k < S; k++) sq += (k == 1 || k >= 4 ? 2 : 1) * (e[k] - s[k]) * (e[k] - s[k]);
          if (dim == 3 && dist > 0 && std::sqrt(sq) / dist > D) {
            // A tetrahedron's change of the second derivatives by its largest eigenvalue: a
            // front across one direction reads as by the whole change, while a smooth field,
            // whose second derivatives change in every direction at once, is not read at the
            // sum of six components where the triangle reads three. The sum bounds the
            // eigenvalue, so a side it cannot raise D by is not solved for.
            double change[6];
            for (size_t k = 0; k < 6; k++) change[k] = e[k] - s[k];
            sq = largest_symmetric_eigenvalue3(change);
            sq *= sq;
          }
          if (dist > 0) D = std::max(D, std::sqrt(sq) / dist);
        }
      t.third[size_t(i - 1) * nfield + v - 1] = D;
    }
  }
  return t;
}

// The sum of the live cells' squared estimates (without SENSITIVITY).
double squared_estimates(Mesh *m, double sens) {
  double S = 0;
  for (int32_t i = 1; i <= m->cells.count; i++)
    if (cell_at(m, i).alive) S += (cell_at(m, i).error / sens) * (cell_at(m, i).error / sens);
  return S;
}

// The estimator's RMS error grown as the cells' squares grew from before: an estimator whose RMS
// is not that of its cell errors (the cell-centre one halves its cells) keeps its own scale, and a
// mesh the floor does not raise keeps its RMS error exactly.
double grown_rms(Mesh *m, double sens, double before, double rms) {
  double after = squared_estimates(m, sens);
  if (after == before) return rms;
  if (before > 0) return rms * std::sqrt(after / before);
  int32_t count = 0;
  for (int32_t i = 1; i <= m->cells.count; i++) count += cell_at(m, i).alive ? 1 : 0;
  return count ? std::sqrt(after / count) : rms;
}

// A cell of measure a weighed against the mean cell by AREA_CUTOFF, as the curvature estimate
// weighs it, to the given power per step of the cut-off (only a smaller cell when small_only).
double area_weight(pde *p, double a, double mean, double power, bool small_only) {
  int cutoff = p->area_cutoff == 0 || p->area_cutoff == 1 ? p->area_cutoff : 2;
  if (!(mean > 0) || (small_only && a >= mean)) return 1.0;
  return std::pow(a / mean, power * cutoff);
}
}  // namespace

// A quadratic cell's second derivatives are constant, so the curvature estimate cannot see a
// feature narrower than the cell: the cell astride a front's inflection reads no curvature
// at all, while its values between the nodes miss by about h^3 |u'''|. The second derivatives
// of the cells about each vertex, averaged there, change along the cell's sides by its third
// derivatives. Each variable's estimate is that interpolation error over its range: the largest
// error of a quadratic along a side, 0.008 h^3 |u'''| with h the cell's longest side, weighed
// down in a cell smaller than the reference cell (the mean cell when reference is 0) by
// AREA_CUTOFF as the curvature estimate weighs small cells: a layer, whose third derivatives
// grow as its cells shrink, then ends its refinement. A reference that refinement does not
// shrink keeps that weight once most cells lie in the layer. Every cell's estimate is kept at
// least at it. Quadratic cells in one, two and three dimensions; other meshes keep their estimates.
double measures_floor_by_third_derivatives(pde *p, vector2d *values, double reference, double rms,
                                           const std::vector<double> *seconds) {
  TRACE("measures_floor_by_third_derivatives");
  Mesh *m = &p->mesh;
  double sens = p->sensitivity != 0 ? p->sensitivity : 1.0;
  double before = squared_estimates(m, sens);
  ThirdDerivatives t = third_derivatives(p, values, seconds);
  double mean = reference > 0 ? reference : t.live > 0 ? t.area / t.live : 0;
  // On a smooth decay the triangles' floor reads about 2.3 times the true RMS error and the
  // tetrahedra's, by the largest eigenvalue, about 3 times (3.5 by all six components), which
  // kept smooth cubes' cells from merging: the tetrahedra's factor, 0.75 of the quadratic's
  // 0.008, takes them to the triangles' reading.
  const double c3 = elements_dimension[m->meshbasis ? m->meshbasis : m->cellbasis] == 3 ? 0.006 : 0.008;
  for (int32_t i = 1; i <= t.cells; i++) {
    if (!t.quadratic[size_t(i - 1)]) continue;
    MeshCell &cell = cell_at(m, i);
    double T = 0, W = 0, h = t.size[2 * size_t(i - 1) + 1];
    for (uint16_t v = 1; v <= t.nfield; v++) {
      double w = weight_of(p, v), e = c3 * h * h * h * t.third[size_t(i - 1) * t.nfield + v - 1] / range_of(p, v);
      T += w * w * e * e;
      W += w * w;
    }
    double e3 = W > 0 ? std::sqrt(T / W) * area_weight(p, t.size[2 * size_t(i - 1)], mean, 0.375, true) : 0;
    if (std::isfinite(e3) && e3 * sens > cell.error) cell.error = e3 * sens;
  }
  return grown_rms(m, sens, before, rms);
}
