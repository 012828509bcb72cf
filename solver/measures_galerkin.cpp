// measures_galerkin: the Galerkin residual at the nodes and the centre-Galerkin residual against
// the cells' bubbles, with the scale floors and locking factors of the variables' residuals.
#include "solver/measures_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

// ---- Galerkin residuals -------------------------------------------------------------------------

double measure_galerkin(pde *p, vector2d *values, double time, double factor, uint8_t add) {
  TRACE("measure_galerkin");
  Mesh *m = &p->mesh;
  int32_t rows = p->matrix.rows > 0 ? p->matrix.rows : p->firstscale.count;
  Work gw(work(p, rows));
  vectord *g = gw.v;
  measures_get_range(p, values);
  fitting_validate_fits(p, &p->fitlist, values, time, time);
  aim(p, values, time);
  int32_t ncells = m->cells.count;
  Status status(&p->status, ncells);
  double A = 0, P[20], Q[20], Sd[20];
  int dim = p->dimension;
  for (int32_t i = 1; i <= ncells; i++) {
    status.update(ncells - i);
    MeshCell &cell = cell_at(m, i);
    if (!cell.alive) continue;
    localize(p, i);
    double a = std::fabs(work_cell.frame.measure);
    A += work_cell.frame.measure;
    for (uint16_t v = 1; v <= p->nfield; v++) {
      equation *e = eqn(p, v);
      if (!e) continue;
      int32_t bv = basis_of(p, v), nb = elements_functions[bv];
      std::fill(P, P + 20, 0.0), std::fill(Q, Q + 20, 0.0), std::fill(Sd, Sd + 20, 0.0);
      treeval_vol_galerkin(p, P, region_tree(&e->volume, cell.region), &point, bv);
      treeval_vol_galerkin(p, Q, region_tree(&e->source, cell.region), &point, bv);
      for (int s = 1; s <= dim + 1; s++) {
        double t[20] = {};
        point.side = uint8_t(s);
        treeval_surf_galerkin(p, t, region_tree(&e->surface, cell.region), &point, bv);
        for (int j = 0; j < nb; j++) Sd[j] += t[j];
      }
      point.side = 0;
      for (int j = 0; j < nb; j++) {
        double r = P[j] + Sd[j] - factor * Q[j];
        at(g, row_of(p, v, cell.nodes.data[j])) += r * r * std::sqrt(a);
      }
    }
  }
  status.plain();
  double mean = std::sqrt(A / ncells);
  for (uint16_t v = 1; v <= p->nfield; v++)
    for (int32_t n = 1; n <= m->nodes.count; n++) {
      int32_t users = m->nodes.data[n - 1].nodecell.count;
      if (!users) continue;
      int32_t r = row_of(p, v, n);
      at(g, r) = std::sqrt(at(g, r) / mean) * at(&p->firstscale, r) / users;
    }
  measures_scale_res(p, g, g);
  for (uint16_t v = 1; v <= p->nfield && v <= p->valuenodes.count; v++) {
    const vectorl &l = p->valuenodes.data[v - 1];
    for (int32_t k = 0; k < l.count; k++) at(g, row_of(p, v, l.data[k])) = 0;
  }
  return store(m, add, [&](int32_t, const MeshCell &cell, double &T, double &W) {
    for (uint16_t v = 1; v <= p->nfield; v++) {
      double w = weight_of(p, v);
      for (int j = 0; j < elements_functions[basis_of(p, v)]; j++) {
        double x = at(g, row_of(p, v, cell.nodes.data[j]));
        T += w * w * x * x;
        W += w * w;
      }
    }
  });
}

// The mean of a cell's first nb nodes: its centre of area for the straight cells' node sets.
static void cell_centre(const Mesh *m, const MeshCell &cell, int32_t nb, double centre[3]) {
  centre[0] = centre[1] = centre[2] = 0;
  for (int k = 0; k < nb; k++) {
    const MeshNode &node = m->nodes.data[cell.nodes.data[k] - 1];
    centre[0] += node.x / nb, centre[1] += node.y / nb, centre[2] += node.z / nb;
  }
}

// The operator's form on the linear fields of each variable (see locking_factor), when it
// gives an answer: M(n x n, n = F d, row (v - 1) d + j, column (w - 1) d + i) and its diagonal.
// A nonlinear problem is read linearised about one state its answer takes
// (the values at its first node: the coefficients are defined there, where 1/T about rest is
// not): the difference of its terms on that state plus and minus a millionth of each probe,
// tested against the coordinates less the cell's centre. A term of first order with constant
// coefficients (a flow's convection about a uniform velocity) then weighs nothing, as a
// constant term and one in the probe's square cancel in the difference.
struct LinearForm {
  int32_t F = 0, d = 0, n = 0;
  std::vector<double> M, D;
};
static bool linear_form(pde *p, vector2d *values, LinearForm &f) {
  Mesh *m = &p->mesh;
  int32_t F = p->nfield, d = p->dimension == 3 ? 3 : 2, n = F * d, ncells = m->cells.count;
  f.F = F, f.d = d, f.n = n;
  bool linearise = p->nonlinear;
  if (n > 30 || p->coords.family != 1 || !values || values->count < F || ncells < 1 || m->nodes.count < 1) return false;
  // The state and each variable's probe size: a millionth of its range or its value there,
  // per unit of the domain's size, so the probe is a millionth of it across the domain.
  std::vector<double> base(size_t(F), 0.0), eps(size_t(F), 1.0);
  if (linearise) {
    const rect3d &box = m->domain->grid.box;
    double L = std::max(box.x2 - box.x1, box.y2 - box.y1);
    if (d == 3) L = std::max(L, box.z2 - box.z1);
    if (!(L > 0)) return false;
    for (uint16_t w = 1; w <= F; w++) {
      const vectord &x = values->data[w - 1];
      base[size_t(w - 1)] = x.count > 0 ? x.data[0] : 0.0;
      double s = std::max(std::fabs(range_of(p, w)), std::fabs(base[size_t(w - 1)]));
      eps[size_t(w - 1)] = 1e-6 * (s > 0 ? s : 1.0) / L;
    }
  }
  // M((v - 1) d + j, (w - 1) d + i): equation v's volume terms with variable w = the i-th
  // coordinate (the others zero) against the test field of the j-th coordinate, summed over
  // cells spread through the mesh.
  vector2d probe{};
  vector2d_copyto_0(&probe, values);
  std::vector<double> &M = f.M, &D = f.D;
  M.assign(size_t(n) * n, 0.0);
  int32_t step = std::max(1, ncells / 400);
  evalpoint keep = point;
  point.values = &probe;
  std::vector<double> Z(size_t(F) * F, 0.0);
  double area = 0;
  for (uint16_t w = 1; w <= F; w++)
    for (int i = 0; i <= d; i++)
      for (int s = 0; s < (linearise ? 2 : 1); s++) {
        double e = eps[size_t(w - 1)], sg = s ? -1.0 : 1.0, back = linearise ? sg / (2 * e) : 1.0;
        for (uint16_t u = 1; u <= F; u++) {
          vectord &x = probe.data[u - 1];
          for (int32_t k = 1; k <= x.count && k <= m->nodes.count; k++) {
            const MeshNode &node = m->nodes.data[k - 1];
            double lin = i == d ? 1.0 : i == 0 ? node.x : i == 1 ? node.y : node.z;
            x.data[k - 1] = base[size_t(u - 1)] + (u != w ? 0.0 : linearise ? sg * e * lin : lin);
          }
        }
        for (int32_t c = 1; c <= ncells; c += step) {
          MeshCell &cell = cell_at(m, c);
          if (!cell.alive) continue;
          localize(p, c);
          if (w == 1 && i == 0 && s == 0) area += std::fabs(work_cell.frame.measure);
          for (uint16_t v = 1; v <= F; v++) {
            equation *eq = eqn(p, v);
            if (!eq) continue;
            double P[20] = {};
            int32_t bv = basis_of(p, v), nb = elements_functions[bv];
            treeval_vol_galerkin(p, P, region_tree(&eq->volume, cell.region), &point, bv);
            for (int k = 0; k < nb; k++) P[k] *= back;
            if (i == d) {
              for (int k = 0; k < nb; k++) Z[size_t(v - 1) * F + w - 1] += P[k];
              continue;
            }
            double centre[3] = {0, 0, 0};
            if (linearise) cell_centre(m, cell, nb, centre);
            for (int jj = 0; jj < d; jj++) {
              double t = 0;
              for (int k = 0; k < nb; k++) {
                const MeshNode &node = m->nodes.data[cell.nodes.data[k] - 1];
                t += P[k] * ((jj == 0 ? node.x : jj == 1 ? node.y : node.z) - centre[jj]);
              }
              M[size_t((v - 1) * d + jj) * n + (w - 1) * d + i] += t;
            }
          }
        }
      }
  point = keep;
  vector2d_free(&probe, 1);
  // Symmetric and with a positive diagonal, or no answer.
  double big = 0, sum = 0;
  for (int a = 0; a < n; a++) big = std::max(big, std::fabs(M[size_t(a) * n + a])), sum += M[size_t(a) * n + a];
  // An equation written div(C grad u) + ... = 0 has a negative form.
  if (sum < 0)
    for (double &x : M) x = -x;
  if (!(big > 0)) return false;
  D.assign(size_t(n), 0.0);
  for (int a = 0; a < n; a++) {
    D[size_t(a)] = M[size_t(a) * n + a];
    if (!(D[size_t(a)] > 1e-8 * big)) return false;
    for (int b = 0; b < a; b++) {
      double x = M[size_t(a) * n + b], y = M[size_t(b) * n + a];
      if (std::fabs(x - y) > 1e-6 * std::sqrt(std::fabs(M[size_t(a) * n + a] * M[size_t(b) * n + b]))) return false;
    }
  }
  // A zeroth-order term (a reaction, a spring) weighs the probes by their distance from the
  // origin, not by their gradients: the test reads only second-order systems.
  for (uint16_t v = 1; v <= F; v++)
    for (uint16_t w = 1; w <= F; w++) {
      double dv = 0, dw = 0;
      for (int i = 0; i < d; i++)
        dv = std::max(dv, D[size_t((v - 1) * d + i)]), dw = std::max(dw, D[size_t((w - 1) * d + i)]);
      if (std::fabs(Z[size_t(v - 1) * F + w - 1]) * area > 1e-6 * std::sqrt(dv * dw)) return false;
    }
  return true;
}

// Cyclic Jacobi rotations of the symmetric n x n matrix M to its eigenvalues (on its
// diagonal), the eigenvectors in the columns of V.
static void jacobi(std::vector<double> &M, std::vector<double> &V, int32_t n) {
  V.assign(size_t(n) * n, 0.0);
  for (int a = 0; a < n; a++) V[size_t(a) * n + a] = 1;
  for (int sweep = 0; sweep < 50; sweep++) {
    double off = 0;
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++) off += M[size_t(a) * n + b] * M[size_t(a) * n + b];
    if (off < 1e-24) break;
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++) {
        double apq = M[size_t(a) * n + b];
        if (std::fabs(apq) < 1e-300) continue;
        double theta = (M[size_t(b) * n + b] - M[size_t(a) * n + a]) / (2 * apq);
        double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        double c = 1 / std::sqrt(t * t + 1), sn = t * c;
        for (int k = 0; k < n; k++) {
          double x = M[size_t(k) * n + a], y = M[size_t(k) * n + b];
          M[size_t(k) * n + a] = c * x - sn * y, M[size_t(k) * n + b] = sn * x + c * y;
        }
        for (int k = 0; k < n; k++) {
          double x = M[size_t(a) * n + k], y = M[size_t(b) * n + k];
          M[size_t(a) * n + k] = c * x - sn * y, M[size_t(b) * n + k] = sn * x + c * y;
          x = V[size_t(k) * n + a], y = V[size_t(k) * n + b];
          V[size_t(k) * n + a] = c * x - sn * y, V[size_t(k) * n + b] = sn * x + c * y;
        }
      }
  }
}

// The residual a cell reads is the operator's strong form, and on a divergence-free error that
// holds only the part of the form in the plain gradients (alpha grad u : grad w): the part in the
// transposed gradients (gamma grad u : grad w^T, a solid's second shear term) is a divergence's
// gradient in the strong form, as the stiff part (beta div u div w) is. The energy on the linear
// fields counts gamma in the soft mode (alpha + gamma over alpha + beta + gamma: a solid's
// 2 mu / (lambda + 2 mu)), so a form written with the plain Laplacian and a penalty on the
// divergence (alpha = nu, gamma = 0, p = -K div(U)) read twice the factor of the solid with the
// same soft and stiff moduli, and its estimate twice its error over a solid's (a Couette flow
// between circles under K = 1e4 nu read 5.2 times its RMS error, a nearly incompressible
// cylinder 1.6 times). The operator's symbol, S(xi)_vw = sum over i, j of the form's
// coefficient of variable w's i-th derivative against the test's j-th in equation v times
// xi_i xi_j, is the strong form on a wave along xi; normalised by its diagonal, its least
// eigenvalue over the directions xi is 2 alpha / (2 alpha + beta + gamma) for an isotropic
// form (the waves at 45 degrees to the axes), 1 for uncoupled variables however anisotropic.
// Per variable, the least over the modes it takes part in (a tenth of their weight), 1 where
// none is soft; the factor takes the larger of this and the energy's ratio, so a solid's
// stands (2 mu / (lambda + 3 mu) is below 2 mu / (lambda + 2 mu)) and the penalty flow's
// halves. Directions: every 5 degrees in the plane; in 3D the axes, the 45-degree diagonals of
// the coordinate planes and the cube's diagonals.
static std::vector<double> wave_least(const LinearForm &f) {
  int32_t F = f.F, d = f.d, n = f.n;
  std::vector<double> least(size_t(F), 1.0);
  std::vector<std::array<double, 3>> dirs;
  if (d == 2)
    for (int k = 0; k < 36; k++) dirs.push_back({std::cos(k * M_PI / 36), std::sin(k * M_PI / 36), 0.0});
  else
    for (int a = -1; a <= 1; a++)
      for (int b = -1; b <= 1; b++)
        for (int c = -1; c <= 1; c++)
          if (a > 0 || (a == 0 && b > 0) || (a == 0 && b == 0 && c > 0)) {
            double l = std::sqrt(double(a * a + b * b + c * c));
            dirs.push_back({a / l, b / l, c / l});
          }
  std::vector<double> S(size_t(F) * F), V;
  for (const auto &xi : dirs) {
    for (int v = 0; v < F; v++)
      for (int w = 0; w < F; w++) {
        double t = 0;
        for (int j = 0; j < d; j++)
          for (int i = 0; i < d; i++)
            t += 0.5 * (f.M[size_t(v * d + j) * n + w * d + i] + f.M[size_t(w * d + i) * n + v * d + j]) *
                 xi[size_t(i)] * xi[size_t(j)];
        S[size_t(v) * F + w] = t;
      }
    bool ok = true;
    for (int v = 0; v < F; v++) ok = ok && S[size_t(v) * F + v] > 0;
    if (!ok) continue;
    for (int v = 0; v < F; v++)
      for (int w = 0; w < F; w++)
        if (v != w) S[size_t(v) * F + w] /= std::sqrt(S[size_t(v) * F + v] * S[size_t(w) * F + w]);
    for (int v = 0; v < F; v++) S[size_t(v) * F + v] = 1;
    jacobi(S, V, F);
    for (int a = 0; a < F; a++) {
      double e = S[size_t(a) * F + a];
      if (!(e > 1e-12)) continue;
      for (int v = 0; v < F; v++)
        if (V[size_t(v) * F + a] * V[size_t(v) * F + a] > 0.1) least[size_t(v)] = std::min(least[size_t(v)], e);
    }
  }
  return least;
}

// A displacement-like system can lock: a nearly incompressible solid's operator is stiff
// (lambda + 2 mu) against every displacement but the divergence-free ones (mu), and its
// error lives in those, where a residual scaled by its rows' own size reads lambda/mu too
// small. The operator's form on the linear fields of each variable (x and y, and z, of one
// variable at a time: exact on every cell basis) shows it: normalised by its diagonal, its
// eigenvalues are 1 for uncoupled variables however anisotropic, and for elasticity 2 and
// 2 mu/(lambda + 2 mu) (the rigid rotations' zeros aside). Each variable's factor is
// multiplied by half the inverse of the least eigenvalue of the modes it takes part in, at
// least 1: solids up to a Poisson ratio of a third are measured as before. A nonlinear system
// is read on its form linearised about a state its answer takes: a penalty flow locks as the
// solid does (without it a lid-driven cavity under p = -K div(U), K/nu = 1e5, ended converged
// at ERRLIM 1e-4 with v ten limits off). Only in Cartesian coordinates (in a cylinder the
// rotations are not rigid) for a form that is symmetric and of second order (a zeroth-order tie
// between variables locks nothing, and it would weigh the probes by their distance from the
// origin); otherwise the factors stand.
static void locking_factor(pde *p, vector2d *values, std::vector<double> &factor) {
  LinearForm f;
  if (!linear_form(p, values, f)) return;
  int32_t F = f.F, d = f.d, n = f.n;
  std::vector<double> &M = f.M, &D = f.D, V;
  std::vector<double> wave = wave_least(f);
  for (int a = 0; a < n; a++)
    for (int b = 0; b <= a; b++)
      M[size_t(a) * n + b] = M[size_t(b) * n + a] =
          0.5 * (M[size_t(a) * n + b] + M[size_t(b) * n + a]) / std::sqrt(D[size_t(a)] * D[size_t(b)]);
  jacobi(M, V, n);
  for (int a = 0; a < n; a++)
    if (M[size_t(a) * n + a] < -1e-6) return;
  // A soft mode that is one fixed combination of the variables along one gradient (the mode's
  // F x d weights of rank one), as u - v of a pair with strong cross diffusion, constrains
  // nothing the cells cannot represent: it is a slow diffusion of that combination, measured
  // well by its rows, not a locking. A locking mode ties different derivatives of different
  // variables (the divergence-free shear: u = x, v = -y).
  auto combination = [&](int a) {
    double s2 = 0, s4 = 0;
    for (int v = 0; v < F; v++)
      for (int w = 0; w < F; w++) {
        double g = 0;
        for (int i = 0; i < d; i++) g += V[size_t(v * d + i) * n + a] * V[size_t(w * d + i) * n + a];
        s4 += g * g;
        if (v == w) s2 += g;
      }
    return s4 > 0.99 * s2 * s2;
  };
  // Per variable, the least eigenvalue of the modes it takes part in (a tenth of the mode's
  // weight on its probes), past the rigid modes' zeros, which rounding leaves below 1e-9: a
  // penalty of K = 1e6 nu reads 1e-6, and was taken for one.
  for (uint16_t v = 1; v <= F; v++) {
    double least = 1;
    for (int a = 0; a < n; a++) {
      double e = M[size_t(a) * n + a], share = 0;
      for (int i = 0; i < d; i++) share += V[size_t((v - 1) * d + i) * n + a] * V[size_t((v - 1) * d + i) * n + a];
      if (e > 1e-9 && share > 0.1 && !combination(a)) least = std::min(least, e);
    }
    factor[size_t(v - 1)] *= std::max(1.0, 0.5 / std::max(least, wave[size_t(v - 1)]));
  }
}

// Whether every live node on the domain's boundary or its joints holds a value condition of
// each of the variables vars (a node between two regions counts as not held).
static bool held_all_round(pde *p, const std::vector<uint16_t> &vars) {
  Mesh *m = &p->mesh;
  for (uint16_t v : vars) {
    if (v > p->valuenodes.count) return false;
    std::vector<char> mine(size_t(m->nodes.count) + 1, 0);
    const vectorl &l = p->valuenodes.data[v - 1];
    for (int32_t k = 0; k < l.count; k++)
      if (l.data[k] >= 1 && l.data[k] <= m->nodes.count) mine[size_t(l.data[k])] = 1;
    for (int32_t k = 1; k <= m->nodes.count; k++) {
      const MeshNode &node = m->nodes.data[k - 1];
      if (node.alive && node.kind != 0 && !mine[size_t(k)]) return false;
    }
  }
  return !vars.empty();
}

// A system stiffer against one combination of its variables' first derivatives than the error
// limit can resolve (the form's largest eigenvalue on the linear fields over its next exceeds
// 4 / ERRLIM: a penalty p = -K div(U), or a solid so nearly incompressible that the limit cannot
// tell it from an incompressible one) holds that combination (the divergence) to zero only to
// within the inverse of its coefficient, and the answer's distance from the constrained one lies
// in no residual the estimate reads. That distance is about the combination's RMS over the
// domain times the domain's size (a channel's penalty Poiseuille flow: 0.7 of it); relative to
// the largest range of the variables the combination ties (returned in *vars). 0 where the form
// gives no answer or holds no such combination.
double measures_constraint_miss(pde *p, vector2d *values, std::vector<uint16_t> *vars) {
  vars->clear();
  LinearForm f;
  if (p->eigen || !linear_form(p, values, f)) return 0;
  int32_t n = f.n, d = f.d;
  std::vector<double> M = f.M, V;
  for (int a = 0; a < n; a++)
    for (int b = 0; b < a; b++)
      M[size_t(a) * n + b] = M[size_t(b) * n + a] = 0.5 * (M[size_t(a) * n + b] + M[size_t(b) * n + a]);
  jacobi(M, V, n);
  int top = 0;
  for (int a = 1; a < n; a++)
    if (M[size_t(a) * n + a] > M[size_t(top) * n + top]) top = a;
  double next = 0;
  for (int a = 0; a < n; a++)
    if (a != top) next = std::max(next, M[size_t(a) * n + a]);
  if (!(next > 0) || !(M[size_t(top) * n + top] > 4 / p->errlim * next)) return 0;
  // The combination's weights on each variable's derivatives, the largest 1.
  std::vector<double> x(size_t(n), 0.0);
  double big = 0, R = 0;
  for (int k = 0; k < n; k++) x[size_t(k)] = V[size_t(k) * n + top], big = std::max(big, std::fabs(x[size_t(k)]));
  for (double &w : x) w /= big;
  for (uint16_t v = 1; v <= f.F; v++) {
    double w = 0;
    for (int i = 0; i < d; i++) w = std::max(w, std::fabs(x[size_t((v - 1) * d + i)]));
    if (w > 0.1) vars->push_back(v), R = std::max(R, range_of(p, v));
  }
  if (!(R > 0)) return 0;
  // Its RMS over the domain in blocks of an eighth of the domain's box along each axis, each
  // block's the mean of the cells whose centres lie in it. The constraint's share varies as
  // smoothly as what balances it (a flow's pressure over the penalty); what the cells leave of
  // it where the elements cannot hold it to zero changes sign from cell to cell and grows where
  // value conditions force it (at a lid's corners), and a block's mean reads little of that (a
  // cavity's cells read the same RMS under a penalty ten times stiffer).
  Mesh *m = &p->mesh;
  const int B = 8;
  const rect3d &box = m->domain->grid.box;
  double lo[3] = {box.x1, box.y1, box.z1}, hi[3] = {box.x2, box.y2, box.z2};
  size_t blocks = d == 3 ? size_t(B) * B * B : size_t(B) * B;
  std::vector<double> bsum(blocks, 0.0), barea(blocks, 0.0);
  double area = 0, u[20], g[3];
  aim(p, values, p->time);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    MeshCell &cell = cell_at(m, c);
    if (!cell.alive) continue;
    localize(p, c);
    ElementFrame *fr = &work_cell.frame;
    double meas = std::fabs(fr->measure), comb = 0;
    for (uint16_t v : *vars) {
      int32_t b = basis_of(p, v), nf = elements_functions[b];
      const vectord *uv = &values->data[v - 1];
      for (int k = 0; k < nf; k++) u[k] = uv->data[cell.nodes.data[k] - 1];
      elements_gradient(g, b, elements_centroid[elements_dimension[b]].L, fr, u);
      for (int i = 0; i < d; i++) comb += x[size_t((v - 1) * d + i)] * g[i];
    }
    double centre[3];
    cell_centre(m, cell, elements_functions[basis_of(p, 1)], centre);
    size_t at = 0;
    for (int i = d - 1; i >= 0; i--) {
      double w = hi[i] - lo[i];
      int j = w > 0 ? int((centre[i] - lo[i]) / w * B) : 0;
      at = at * B + size_t(std::min(std::max(j, 0), B - 1));
    }
    bsum[at] += comb * meas, barea[at] += meas, area += meas;
  }
  if (!(area > 0)) return 0;
  // Where every boundary node holds a value of each variable the combination ties, its mean
  // over the domain is the boundary data's (the flux of a flow through the walls, as a lid's
  // corners leak), which no coefficient changes: the penalty's share is what varies about it.
  double mean = 0;
  if (held_all_round(p, *vars)) {
    for (size_t b = 0; b < blocks; b++) mean += bsum[b];
    mean /= area;
  }
  double sum = 0;
  for (size_t b = 0; b < blocks; b++)
    if (barea[b] > 0) sum += (bsum[b] / barea[b] - mean) * (bsum[b] / barea[b] - mean) * barea[b];
  return std::sqrt(sum / area) * std::pow(area, 1.0 / d) / R;
}

// The matrix scaling measures each field variable's residual against the variable's own
// range at the matrix build. A variable that is zero in truth (a displacement held to zero
// by symmetry, a field absent from a mode) has only noise there, and its error, measured
// against that noise, never falls however fine the mesh. Its scale therefore has a floor
// from the problem's other scales: a thousandth of the size its own terms in its equations
// would need to balance the other variables' terms there (the coupled rows of the scaled
// matrix, value rows aside), which lifts only a variable whose own range is noise; and, for
// modes, which the eigenvalue driver normalises over all variables together, each mode's own
// ranges: the variable's range in that mode and a fiftieth of the largest range of any
// variable in it (a variable absent from the mode holds noise well below that; one present
// may be smaller than the others by the eigenvalue itself, as a deflection is beside its
// moment in a plate's buckling, and is measured against its own range). A range shared by all
// the modes measured would read a higher mode's deflection, the smaller beside its moment the
// more it curves, against the first mode's, and its error low by that ratio.
// A row may also be chiefly about another variable: an equation listed under a variable it
// hardly holds (vorticity transport under the stream function, the stream function's Poisson
// equation under the vorticity). The pair's coupling then outweighs their own terms (the
// product of the two cross blocks exceeds the product of the two own blocks, a ratio no
// scaling of rows or columns changes; it stays below 1 where each variable's own terms rule,
// as in elasticity, noise or not), and the row's residual is measured in the scale of the
// terms it holds: the floor is the whole balancing size, not a thousandth of it. Nor is it
// less than ten error limits of that size: a variable whose whole range is within a few
// error limits of the coupled scale (a displacement zero in truth, left with the others'
// discretisation error) carries nothing the error limit can ask of it. A declared
// range stands. Returns per field variable the factor by which its residual's scale is
// multiplied: at most 1 but where the variable's system locks (locking_factor), and for
// modes, whose floor stands in for the range at the build; for modes one set per solution,
// solution k's from k F on.
static std::vector<double> scale_floors(pde *p, vector2d *const *values, uint16_t count, bool modes,
                                        bool locking = true) {
  int32_t F = p->nfield;
  size_t sets = modes ? std::max<size_t>(count, 1) : 1;
  std::vector<double> factor(size_t(std::max(F, 1)) * sets, 1.0);
  int32_t rows = p->matrix.rows;
  // A single variable is measured against its own range: no other sets its floor.
  if (!p->scaling || p->timedep || F < 2 || rows < 1 || p->layout.maps.count < F || p->secondscale.count < rows)
    return factor;
  const double coupled = 1e-3, shared = 0.02;
  // Which field variable each row belongs to (0: none), and its value rows.
  std::vector<uint16_t> var(size_t(rows) + 1, 0);
  std::vector<double> own(size_t(F) + 1, 0.0), cross(size_t(F) + 1, 0.0), range(size_t(F) + 1, 0.0);
  std::vector<double> block(size_t(F + 1) * (F + 1), 0.0);
  for (uint16_t v = 1; v <= F; v++) {
    const vectorl &map = p->layout.maps.data[v - 1];
    for (int32_t k = 0; k < map.count; k++)
      if (map.data[k] >= 1 && map.data[k] <= rows) var[size_t(map.data[k])] = v;
  }
  std::vector<char> held(size_t(rows) + 1, 0);
  for (uint16_t v = 1; v <= F && v <= p->valuenodes.count; v++) {
    const vectorl &l = p->valuenodes.data[v - 1];
    for (int32_t k = 0; k < l.count; k++) {
      int32_t r = row_of(p, v, l.data[k]);
      if (r >= 1 && r <= rows) held[size_t(r)] = 1;
    }
  }
  for (int32_t r = 1; r <= rows; r++) {
    uint16_t v = var[size_t(r)];
    if (!v || held[size_t(r)]) continue;
    const vectorld &row = p->matrix.data[r - 1];
    for (int32_t e = 0; e < row.count; e++) {
      int32_t c = row.keys[e];
      if (c < 1 || c > rows || !var[size_t(c)]) continue;
      (var[size_t(c)] == v ? own : cross)[v] += std::fabs(row.values[e]);
      block[size_t(v) * (F + 1) + var[size_t(c)]] += std::fabs(row.values[e]);
    }
  }
  std::vector<double> base(size_t(F) + 1, -1.0);  // per variable its floor from the coupling
  for (uint16_t v = 1; v <= F; v++) {
    if (v <= p->vars.count && p->vars.items[v - 1].width > 0) continue;
    const vectorl &map = p->layout.maps.data[v - 1];
    if (map.count < 1 || map.data[0] < 1 || map.data[0] > rows) continue;
    double g = std::fabs(p->secondscale.data[map.data[0] - 1]);
    double swap = 0;
    for (uint16_t w = 1; w <= F; w++) {
      double d = block[size_t(v) * (F + 1) + v] * block[size_t(w) * (F + 1) + w];
      if (w != v && d > 0) swap = std::max(swap, block[size_t(v) * (F + 1) + w] * block[size_t(w) * (F + 1) + v] / d);
    }
    double floor = own[v] > 0 ? (swap > 1 ? 1.0 : std::max(coupled, 10 * p->errlim)) * g * cross[v] / own[v] : 0.0;
    base[v] = floor;
    if (!modes && g > 0 && floor > g) factor[size_t(v - 1)] = g / floor;
  }
  // Modes are measured against the floor whichever way it lies from the range at the build
  // (the start vector's on the first grid, the first mode's after it).
  for (size_t k = 0; modes && k < sets && k < count; k++) {
    double widest = 0;
    for (uint16_t v = 1; v <= F; v++) {
      range[v] = 0;
      if (values[k]->count < v) continue;
      const vectord &u = values[k]->data[v - 1];
      for (int32_t i = 0; i < u.count; i++) range[v] = std::max(range[v], std::fabs(u.data[i]));
      widest = std::max(widest, range[v]);
    }
    for (uint16_t v = 1; v <= F; v++) {
      if (base[v] < 0) continue;
      double g = std::fabs(p->secondscale.data[p->layout.maps.data[v - 1].data[0] - 1]);
      double floor = std::max({base[v], range[v], shared * widest});
      if (g > 0 && floor > 0) factor[k * F + v - 1] = g / floor;
    }
  }
  if (!locking) return factor;
  std::vector<double> lock(size_t(F), 1.0);
  locking_factor(p, count > 0 ? values[0] : nullptr, lock);
  for (size_t i = 0; i < factor.size(); i++) factor[i] *= lock[i % size_t(F)];
  return factor;
}

std::vector<double> measures_noise_floors(pde *p) {
  vector2d *values = &p->solution;
  return scale_floors(p, &values, 1, false, false);
}

// A linear function has no second derivatives, so on linear tetrahedra a second-order
// operator's residual within a cell is its source alone and the error lives in the jumps of
// the flux across the faces. The cubic face bubble is two orders above the cell's basis and
// reads only a fraction of it (a fifth to a tenth, the less as the mesh is finer); the functions
// of the next order are the quadratic edge functions of the ten-node tetrahedron, as the
// triangle's quadratic side functions are for linear triangles. An edge's function spans every
// cell around the edge, so its residual is the sum of those cells' shares. Here one cell's
// shares of its six edges, from its source terms G and volume terms H against the ten-node
// basis (whose nodes 5..10 are the edges' midpoints in edge order), stored nf apart.
static void edge_share(double *out, int32_t nf, const double *G, const double *H, double factor) {
  for (int e = 0; e < 6; e++) out[size_t(e) * nf] = H[4 + e] - factor * G[4 + e];
}

// The stiffness of linear tetrahedron c's barycentric functions, K[4 a + b] = the integral of
// grad L_a . grad L_b over the cell.
static void tet_stiffness(Mesh *m, const MeshCell &c, double K[16]) {
  const MeshNode *q[4];
  for (int a = 0; a < 4; a++) q[a] = &m->nodes.data[c.nodes.data[a] - 1];
  double M[3][3];
  for (int k = 0; k < 3; k++)
    M[0][k] = q[k + 1]->x - q[0]->x, M[1][k] = q[k + 1]->y - q[0]->y, M[2][k] = q[k + 1]->z - q[0]->z;
  double det = M[0][0] * (M[1][1] * M[2][2] - M[1][2] * M[2][1]) - M[0][1] * (M[1][0] * M[2][2] - M[1][2] * M[2][0]) +
               M[0][2] * (M[1][0] * M[2][1] - M[1][1] * M[2][0]);
  std::fill(K, K + 16, 0.0);
  if (det == 0) return;
  // grad L_(k+1) for k = 1..3 is row k - 1 of M's inverse; grad L_1 is minus their sum.
  double g[4][3];
  for (int k = 0; k < 3; k++) {
    int a = (k + 1) % 3, b = (k + 2) % 3;
    for (int r = 0; r < 3; r++) {
      int c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      g[k + 1][r] = (M[c1][a] * M[c2][b] - M[c1][b] * M[c2][a]) / det;
    }
  }
  for (int r = 0; r < 3; r++) g[0][r] = -(g[1][r] + g[2][r] + g[3][r]);
  double V = std::fabs(det) / 6;
  for (int a = 0; a < 4; a++)
    for (int b = 0; b < 4; b++) K[4 * a + b] = V * (g[a][0] * g[b][0] + g[a][1] * g[b][1] + g[a][2] * g[b][2]);
}

// Every interior edge's residual, the sum of the shares of the cells around it, goes squared
// to each of those cells with the cell's scale. The residual of an edge function reads the
// error's share along it times that function's stiffness, while a cell's scale is that of its
// vertices' rows: the edge function 4 L_a L_b is stiff over the five or so cells around the
// edge, a vertex's function over the twenty or more around the vertex (in 2D two against six),
// so the residual is brought to the vertices' measure by the ratio of the two stiffnesses of
// the Laplacian (the geometric part of a second-order operator): the mean of the two end
// vertices' over the edge's, 16 (K_aa + K_bb + K_ab) / 10 per cell. An edge counts as
// interior when the cells holding it close a ring: each of its cells' two faces along it leads
// to a live neighbour that holds the edge too. An edge on the boundary (its function is not a
// test function where a value is held) or on a face not matched node for node (a periodic
// image) is left out.
static void edge_jumps(Mesh *m, const std::vector<double> &share, const std::vector<double> &scale, double *z,
                       uint16_t count, int32_t nf) {
  int32_t ncells = m->cells.count;
  size_t per = size_t(ncells) * size_t(std::max(nf, 1));
  auto live = [&](int32_t c) { return c >= 1 && c <= ncells && cell_at(m, c).alive && cell_at(m, c).nodes.count >= 4; };
  // Each vertex function's stiffness, summed over its cells.
  std::vector<double> vertex(size_t(m->nodes.count) + 1, 0.0);
  for (int32_t i = 1; i <= ncells; i++) {
    if (!live(i)) continue;
    double K[16];
    tet_stiffness(m, cell_at(m, i), K);
    for (int a = 0; a < 4; a++) vertex[size_t(cell_at(m, i).nodes.data[a])] += K[5 * a];
  }
  // The edge of a pair of corners (0-based).
  int which[4][4] = {};
  for (int e = 0; e < 6; e++) {
    int c1 = elements_tet_edges[0][e][0] - 1, c2 = elements_tet_edges[0][e][1] - 1;
    which[c1][c2] = which[c2][c1] = e;
  }
  // The cells around one edge, each with the edge's place in it, in cell order.
  std::vector<std::pair<int32_t, int>> around;
  for (int32_t i = 1; i <= ncells; i++) {
    if (!live(i)) continue;
    for (int e = 0; e < 6; e++) {
      const MeshCell &cell = cell_at(m, i);
      int32_t a = cell.nodes.data[elements_tet_edges[0][e][0] - 1],
              b = cell.nodes.data[elements_tet_edges[0][e][1] - 1];
      // The cells holding both ends, from the first end's cell list; each edge is taken once,
      // at the first of its cells.
      around.clear();
      bool first = true;
      const vectorl &l = m->nodes.data[a - 1].nodecell;
      for (int32_t t = 0; t < l.count && first; t++) {
        int32_t c = l.data[t];
        if (!live(c)) continue;
        int pa = -1, pb = -1;
        for (int k = 0; k < 4; k++) {
          if (cell_at(m, c).nodes.data[k] == a) pa = k;
          if (cell_at(m, c).nodes.data[k] == b) pb = k;
        }
        if (pa < 0 || pb < 0) continue;
        if (c < i) first = false;
        around.push_back({c, which[pa][pb]});
      }
      if (!first) continue;
      std::sort(around.begin(), around.end());
      auto holds = [&](int32_t c) {
        for (const auto &x : around)
          if (x.first == c) return true;
        return false;
      };
      bool ring = true;
      double stiff = 0;
      for (const auto &x : around) {
        const MeshCell &c = cell_at(m, x.first);
        int c1 = elements_tet_edges[0][x.second][0], c2 = elements_tet_edges[0][x.second][1];
        for (int f = 1; f <= 4 && ring; f++) {
          if (f == c1 || f == c2) continue;  // face f is opposite vertex f: it holds the edge otherwise
          int32_t n = c.neighbour[f - 1];
          ring = live(n) && holds(n);
        }
        double K[16];
        tet_stiffness(m, c, K);
        stiff += 1.6 * (K[5 * (c1 - 1)] + K[5 * (c2 - 1)] + K[4 * (c1 - 1) + c2 - 1]);
      }
      if (!ring) continue;
      double ratio = stiff > 0 ? 0.5 * (vertex[size_t(a)] + vertex[size_t(b)]) / stiff : 1.0;
      for (uint16_t k = 0; k < count; k++)
        for (int32_t v = 0; v < nf; v++) {
          double r = 0;
          for (const auto &x : around) r += share[((size_t(k) * ncells + x.first - 1) * 6 + x.second) * nf + v];
          r *= ratio;
          for (const auto &x : around) {
            size_t at = size_t(k) * per + size_t(x.first - 1) * nf + v;
            z[at] += r * r * scale[at];
          }
        }
    }
  }
}

// The centre-Galerkin estimate is the residual against the functions one order above the
// cell's, scaled by the rows' own size; how much of the error that reads depends on the cell's
// basis and dimension. Checked against exact solutions of steady problems (Poisson with
// smooth and singular answers, torsion, Robin, nonlinear conduction, convection with a layer,
// plane stress, 3D Poisson, convection and elasticity), the quadratic triangle's cell bubble
// reads about half of the RMS error, the quadratic tetrahedron's cell and face bubbles about
// 0.3 of it and the linear triangle's side functions about twice it. These factors (on the
// squared terms) bring each estimate's RMS over the cells to the RMS error itself. The
// tetrahedra's share is 0.31-0.32 on an evenly divided cube from 1,000 to 50,000 nodes (the
// faces' jumps, most of the estimate, fall at the rate of the error) and 0.18-0.34 on the
// meshes the refinement splits from such meshes (a cube, a slender slab, a layer along z,
// nonlinear conduction), least beside the faces held at a value: so the even mesh reads its
// error and the split ones more than half of it (taken as 0.45, a cube at ERRLIM 1e-4 read
// 0.39 of its error and a slab 0.49). The odd
// cubic side functions of a convective equation on quadratic triangles read the jumps of the
// whole flux, its diffusive part too, and so about six times the RMS error from Peclet 3 to
// 300 (exponential layers on the unit square); a sixth of them keeps the estimate within 1.5-3
// of it, and layers of Peclet 500 and 1000 still resolved to their pointwise values.
// Time steps and modes keep their own measure. A variable whose scale has its floor (zero in
// truth, its range the others' noise) is measured against that floor, not calibrated to an
// error it does not have. Per variable, the factors on the cell's own terms and on its sides'
// (in 3D the faces' go with the cell's).
struct Calibration {
  std::vector<double> cell, side;
};
static Calibration calibration(pde *p, bool three, int32_t cellbasis, bool modes, const std::vector<double> &floors) {
  size_t n = floors.size();
  Calibration c{std::vector<double>(n, 1.0), std::vector<double>(n, 1.0)};
  if (p->timedep || p->eigen || p->modes > 0 || modes) return c;
  int32_t b = three ? p->mesh.meshbasis ? p->mesh.meshbasis : cellbasis : cellbasis;
  double cell = b == tri6 ? 2.0 * 2.0 : b == tet10 ? 3.2 * 3.2 : 1.0;
  double side = three ? cell : b == tri3 ? 0.45 * 0.45 : b == tri6 ? 1.0 / 36 : 1.0;
  for (size_t v = 0; v < n; v++)
    if (!(floors[v] < 1)) c.cell[v] = cell, c.side[v] = side;
  return c;
}

// A value condition is met at the nodes only: where its data is not of the cells' own order (a
// cubic held on quadratic cells, a sine on any), the answer along a held side is off by the data
// less its interpolant, an error that reaches the domain (a clamp's misfit turns a whole beam)
// and that no residual reads, the held rows being taken out of the equations. For variable v in
// the current solution, the RMS of that misfit over each of the cell's sides held at a value
// independent of the solution, sampled between the nodes, relative to the variable's range;
// the largest over the cell's sides, 0 for a cell with none.
static double held_misfit(pde *p, const MeshCell &cell, uint16_t v) {
  if (!cell.hasbound || !point.values || v > point.values->count) return 0;
  bool three = p->dimension == 3;
  int32_t b = basis_of(p, v), nf = elements_functions[b];
  if (nf > 20) return 0;
  const vectord *uv = &point.values->data[v - 1];
  double u[20];
  for (int k = 0; k < nf; k++) u[k] = uv->data[cell.nodes.data[k] - 1];
  // Points between the nodes on a side (as fractions from its start) and on a face (weights
  // of its three corners): equal shares of the side's or face's measure.
  static const double along[4] = {0.125, 0.375, 0.625, 0.875};
  static const double onface[10][3] = {{0.75, 0.25, 0},          {0.25, 0.75, 0},          {0, 0.75, 0.25},
                                       {0, 0.25, 0.75},          {0.25, 0, 0.75},          {0.75, 0, 0.25},
                                       {4. / 6, 1. / 6, 1. / 6}, {1. / 6, 4. / 6, 1. / 6}, {1. / 6, 1. / 6, 4. / 6},
                                       {1. / 3, 1. / 3, 1. / 3}};
  double worst = 0;
  for (int sd = 1; sd <= (three ? 4 : 3); sd++) {
    uint16_t d = cell.bdid[sd - 1];
    if (!d) continue;
    uint16_t kb = bcs_find_surf_bc(p->mesh.domain, d, v, &p->formulas);
    if (!kb || kb > p->formulas.bcs.count) continue;
    const bc *r = p->formulas.bcs.items[kb - 1];
    if (r->type != valuebc || r->varying) continue;
    uint16_t j = bcs_find_bc_regix(r, cell.region);
    const TreeNode *g = j ? region_tree(&r->lists[1], j) : nullptr;
    if (!g || g->opcode == op::realzero || g->opcode == op::realval) continue;
    int npts = three ? 10 : 4;
    double sum = 0;
    for (int q = 0; q < npts; q++) {
      double L[4] = {0, 0, 0, 0}, xyz[3] = {0, 0, 0};
      if (three)
        for (int c = 0; c < 3; c++) L[elements_tet4_faces[sd - 1][c] - 1] = onface[q][c];
      else {
        L[elements_tri_sides[sd - 1][1] - 1] = 1 - along[q];
        L[elements_tri_sides[sd - 1][2] - 1] = along[q];
      }
      elements_get_gcoords(xyz, L, &work_cell.frame);
      std::copy(L, L + 4, point.local);
      point.x = xyz[0], point.y = xyz[1], point.z = xyz[2];
      point.nx = point.ny = point.nz = 0;
      point.side = uint8_t(sd);
      point.qpoint = 0;
      double e = treeval_eval(p, g, &point) - elements_interpu(b, L, &work_cell.frame, u);
      sum += e * e;
    }
    point.side = 0;
    worst = std::max(worst, std::sqrt(sum / npts) / range_of(p, v));
  }
  return worst;
}

// Whether the cell's side sd lies on the outer boundary with variable v held there at a value.
static bool held_side(pde *p, const MeshCell &cell, int sd, uint16_t v) {
  uint16_t d = cell.bdid[sd - 1];
  if (!cell.hasbound || !d || cell.neighbour[sd - 1] > 0) return false;
  uint16_t kb = bcs_find_surf_bc(p->mesh.domain, d, v, &p->formulas);
  return kb && kb <= p->formulas.bcs.count && p->formulas.bcs.items[kb - 1]->type == valuebc;
}

// A node on an outer side where variable v is free (a natural condition, or none) has half the
// support of a node inside, and its row's scale, the inverse of the row's size, is about twice
// theirs: the largest scale over a quadratic triangle on such a side read that cell's residual
// twice over (a Robin square's cells along its three natural sides read 4.5 times their RMS
// error, those inside 1.4 times). For a steady scalar equation the cell is scaled by the rows of
// its other nodes; marks the nodes on the cell's free sides in skip and returns their count.
// A system keeps every row: a slender beam's free sides hold the misfit that turns the whole
// beam, and its cells there read that, not their own error (scaled so, a 10 x 1 cantilever
// ended on 166 nodes, its V 3.4 ERRLIM off).
static int natural_side_nodes(pde *p, const MeshCell &cell, uint16_t v, int nfun, bool skip[20]) {
  if (!cell.hasbound || p->nfield != 1 || p->dimension == 3 || nfun != elements_functions[tri6] || p->timedep ||
      p->eigen || p->modes > 0)
    return 0;
  int count = 0;
  for (int sd = 1; sd <= 3; sd++) {
    uint16_t d = cell.bdid[sd - 1];
    if (!d || cell.neighbour[sd - 1] > 0) continue;
    uint16_t kb = bcs_find_surf_bc(p->mesh.domain, d, v, &p->formulas);
    if (kb && kb <= p->formulas.bcs.count && !bcs_side_integral(p->formulas.bcs.items[kb - 1])) continue;
    for (int q : {int(elements_tri_sides[sd - 1][1]), int(elements_tri_sides[sd - 1][2]), 3 + sd})
      if (!skip[q - 1]) skip[q - 1] = true, count++;
  }
  return count;
}

// The side (1..sides) of cell j that it shares with its neighbour i, 0 for none.
static int back_side(Mesh *m, int32_t i, int32_t j, int sides) {
  for (int b = 1; b <= sides; b++)
    if (cell_at(m, j).neighbour[b - 1] == i) return b;
  return 0;
}

// Per cell slot, the vertex (1..3) at which the cell meets a re-entrant corner of the domain's
// outer boundary, 0 for none. A corner is a joint of the boundary's description on a side without
// a neighbour where its cells' angles sum to more than a straight angle by over a tenth of one
// (the sides' tangents along a smooth curve miss a straight angle by far less; a crack's tip, a
// full angle, is a corner too).
static std::vector<uint8_t> reentrant_corner_cells(Mesh *m) {
  int32_t ncells = m->cells.count, nnodes = m->nodes.count;
  std::vector<uint8_t> at_corner(size_t(ncells), 0);
  std::vector<double> angle(size_t(nnodes) + 1, 0.0);
  std::vector<char> outer(size_t(nnodes) + 1, 0);
  // The angle of cell c at its vertex a between the tangents of its two sides there: of the
  // quadratic through the side's ends and midside node on a quadratic cell (a side along a
  // curved boundary follows it), of the straight side otherwise.
  auto node = [&](const MeshCell &c, int k) -> const MeshNode & { return m->nodes.data[c.nodes.data[k] - 1]; };
  auto vertex_angle = [&](const MeshCell &c, int a) {
    const MeshNode &o = node(c, a);
    double t[2][2];
    for (int k = 0; k < 2; k++) {
      int b = (a + 1 + k) % 3, opposite = (a + 2 - k) % 3;
      const MeshNode &e = node(c, b);
      if (c.nodes.count >= 6) {
        const MeshNode &mid = node(c, 3 + opposite);
        t[k][0] = 4 * mid.x - 3 * o.x - e.x, t[k][1] = 4 * mid.y - 3 * o.y - e.y;
      } else t[k][0] = e.x - o.x, t[k][1] = e.y - o.y;
    }
    return std::atan2(std::fabs(t[0][0] * t[1][1] - t[0][1] * t[1][0]), t[0][0] * t[1][0] + t[0][1] * t[1][1]);
  };
  bool any = false;
  for (int32_t i = 1; i <= ncells; i++) {
    const MeshCell &c = cell_at(m, i);
    if (!c.alive || c.nodes.count < 3) continue;
    for (int a = 0; a < 3; a++) {
      int32_t n = c.nodes.data[a];
      if (m->nodes.data[n - 1].kind != 1) continue;
      angle[size_t(n)] += vertex_angle(c, a), any = true;
      // Side s is opposite vertex s: the sides other than a's own opposite one hold vertex a.
      for (int sd = 0; sd < 3; sd++)
        if (sd != a && c.neighbour[sd] == 0) outer[size_t(n)] = 1;
    }
  }
  if (!any) return at_corner;
  for (int32_t i = 1; i <= ncells; i++) {
    const MeshCell &c = cell_at(m, i);
    if (!c.alive || c.nodes.count < 3) continue;
    for (int a = 0; a < 3; a++) {
      int32_t n = c.nodes.data[a];
      if (outer[size_t(n)] && angle[size_t(n)] > 1.1 * M_PI) at_corner[size_t(i - 1)] = uint8_t(a + 1);
    }
  }
  return at_corner;
}

// The centre-Galerkin estimate of each of count solutions (values[k] with the lambda
// factor factors[k], as current mode first + k when first > 0), one after another as
// separate calls would make them, the first stored with add and the rest added to it;
// every cell is localised once for all of them. Returns the last one's RMS.
static double zgalerkin_each(pde *p, vector2d *const *values, const double *factors, uint16_t count, uint16_t first,
                             double time, uint8_t add) {
  Mesh *m = &p->mesh;
  for (uint16_t k = 0; k < count; k++) measures_get_range(p, values[k]);
  bool three = p->dimension == 3;
  int32_t cellbubble = three ? 13 : 12;
  static const int32_t sidebubble[2][4] = {{14, 15, 16, 0}, {17, 18, 19, 20}};
  int32_t ncells = m->cells.count, nf = p->nfield;
  int32_t cb = m->cellbasis ? m->cellbasis : m->meshbasis;
  // The error of an equation with a first-order (convective) part is carried from cell to
  // cell along the flow: in a layer it lives in the jumps of the flux across the cells' sides,
  // which the cell bubble does not see. In 2D such an equation's sides are therefore read too,
  // through the next order's Lagrange basis: on a linear cell the quadratic side function, on
  // a quadratic cell the odd cubic one (the difference of the side's two cubic nodes'
  // functions), the side functions that the cell's own basis lacks.
  // On linear cells every equation's sides are read: a linear function has no second
  // derivatives, so the cell bubble sees none of a second-order operator's residual (with no
  // source it reads zero however coarse the mesh) and the whole error is in the flux jumps.
  bool convective = false;
  for (uint16_t v = 1; v <= nf; v++)
    if (equation *e = eqn(p, v))
      for (int32_t r = 0; r < e->velocity.count; r++) convective = convective || e->velocity.data[r] != nullptr;
  bool linear = !three && cb == tri3;
  int32_t sidecode = linear ? tri6 : three || !convective ? 0 : cb == tri6 ? tri9 : 0;
  bool sides = three || sidecode != 0;
  // Linear tetrahedra are read through their edges (edge_share below), not their faces. The
  // cells carry the mesh basis (an extruded mesh keeps its vertex basis as the cell basis).
  bool edges = three && (m->meshbasis ? m->meshbasis : cb) == tet4;
  // The cell bubble, then in 3D the faces' bubbles in side order (on linear tetrahedra the
  // ten-node basis, whose edge functions are read), in 2D the side code.
  const int32_t bubbles[5] = {cellbubble,
                              edges   ? tet10
                              : three ? sidebubble[1][0]
                                      : sidecode,
                              sidebubble[1][1], sidebubble[1][2], sidebubble[1][3]};
  int32_t per = ncells * std::max(nf, 1);
  // One solution's terms in a pool vector; several in a block of their own, given back
  // at the end rather than kept in the pool.
  Work zw(work(p, count == 1 ? per : 1));
  std::vector<double> block(count == 1 ? 0 : size_t(per) * count, 0.0);
  double *z = count == 1 ? zw.v->data : block.data();
  // In 3D (and in 2D for convective equations), per (solution, cell slot, side, field
  // variable) the residual against the side's function within the cell, and per (solution,
  // cell slot, field variable) the cell's scale m^2 s of step 4 below.
  std::vector<double> face(sides && !edges ? size_t(per) * 4 * count : 0, 0.0),
      scale(sides ? size_t(per) * count : 0, 0.0);
  // On linear tetrahedra, per (solution, cell slot, edge, field variable) the residual against
  // the edge's quadratic function within the cell.
  std::vector<double> edge(edges ? size_t(per) * 6 * count : 0, 0.0);
  if (count == 1) fitting_validate_fits(p, &p->fitlist, values[0], time, time);
  aim(p, values[count - 1], time);
  // 1. Cell areas and their mean.
  double A = 0;
  for (int32_t i = 1; i <= ncells; i++) {
    MeshCell &cell = cell_at(m, i);
    if (!cell.alive) continue;
    cell.area = meshes_cell_area_0(m, &cell);
    A += std::fabs(cell.area);
  }
  double mean = A / ncells;
  int nfun = elements_functions[cb], dim = p->dimension;
  // A steady solution's estimate: one solution, no modes, no time.
  bool steady = count == 1 && first == 0 && !p->timedep && !p->eigen && p->modes == 0;
  // The cell bubble of a quadratic triangle reads its residual's mean, weighted by the bubble
  // (symmetric about the centre), and that mean converges an order faster than the residual on
  // a smooth answer: a sine's estimate falls from 1.3 of its error at ERRLIM 1e-3 to a third at
  // 1e-4. The residual against the cell's three side functions (its own quadratic midside
  // functions), each less the flux through its side, is the cell's interior residual weighted
  // towards each side, and reads the residual's change across the cell. In a linear steady run
  // on quadratic triangles whose sides are not read, a small part of it (a fourth, squared: the
  // factor below) is a floor under each cell's own terms; it lifts only cells whose bubble mean
  // reads far below their residual. On a natural side it is the flux misfit of step 3.
  bool weighted = steady && !p->nonlinear && !three && !sides && cb == tri6;
  const double weighted_share = 0.06;
  int nb = edges ? 2 : three ? 5 : sides || weighted ? 2 : 1;
  const int32_t read[5] = {bubbles[0], weighted ? int32_t(tri6) : bubbles[1], bubbles[2], bubbles[3], bubbles[4]};
  // At a re-entrant corner of the boundary (an interior angle w above a straight one) the
  // answer of a second-order equation is singular, as r^(pi/w) (r^(2/3) in an L-shape), and its
  // gradient unbounded. A quadratic's second derivatives are constant, so the cells at the corner
  // read in their interior residual only a third of their error, which lies in the jumps of the
  // flux across their sides from the corner (there 8 cells held half the squared error of an
  // L-shape at ERRLIM 1e-3 and its estimate read 0.31 of its error). Those cells read the jumps
  // across the sides they share at the corner as a convective equation's cells read theirs,
  // through the odd cubic side functions and with their calibration; the cells away from the
  // corner keep their reading. Per cell slot the vertex at the corner (none: empty), the jumps'
  // shares per (cell slot, side, field variable) and their scale per (cell slot, variable).
  std::vector<uint8_t> corner = weighted ? reentrant_corner_cells(m) : std::vector<uint8_t>();
  if (std::find_if(corner.begin(), corner.end(), [](uint8_t c) { return c != 0; }) == corner.end()) corner.clear();
  bool corners = !corner.empty();
  const int32_t read_corner[3] = {bubbles[0], int32_t(tri6), int32_t(tri9)};
  const double corner_side = 1.0 / 36;
  std::vector<double> cface(corners ? size_t(per) * 3 : 0, 0.0), cscale(corners ? size_t(per) : 0, 0.0);
  // The functions per term the rule returns: the widest basis read.
  int32_t wanted = edges      ? elements_functions[tet10]
                   : sidecode ? elements_functions[sidecode]
                   : weighted ? elements_functions[tri6]
                              : 1;
  std::vector<const TreeNode *> terms(2 * size_t(std::max(nf, 1)));
  std::vector<double> residual(size_t(count) * terms.size() * (corners ? 3 : nb) * 20);
  bool modes = first > 0 || p->eigen;
  std::vector<double> floors = scale_floors(p, values, count, modes);
  Calibration cal = calibration(p, three, cb, first > 0, floors);
  // Makes solution k current: its values and, for modes, its mode number.
  struct Solutions {
    pde *p;
    vector2d *const *values;
    uint16_t first;
  } sol = {p, values, first};
  auto use = [](void *c, int k) {
    const Solutions *u = static_cast<const Solutions *>(c);
    if (u->first) u->p->mode = uint16_t(u->first + k);
    point.values = u->values[k];
  };
  Status status(&p->status, ncells);
  TreevalProgramsKept programs;  // the residual sweeps' trees stand over the cells
  for (int32_t i = 1; i <= ncells; i++) {
    status.update(ncells - i);
    MeshCell &cell = cell_at(m, i);
    if (!cell.alive) continue;
    localize(p, i);
    double s = std::sqrt(std::fabs(work_cell.frame.measure) / mean);
    // 2. The residual against the cell bubble, the source and volume terms of each
    // variable's equation evaluated once at each rule point for it and, in 3D, for the
    // faces' bubbles below; the rule points are set once for all the solutions. For
    // solution k and the j-th equation, row t * nb + b of R(k, j) holds term t against bubble b.
    int nterms = 0;
    for (uint16_t v = 1; v <= nf; v++)
      if (equation *e = eqn(p, v)) {
        terms[nterms++] = region_tree(&e->source, cell.region);
        terms[nterms++] = region_tree(&e->volume, cell.region);
      }
    int cornerv = corners ? corner[size_t(i - 1)] : 0;
    int nbc = cornerv ? 3 : nb;
    if (nterms > 0 &&
        treeval_vol_galerkin_sets(p, residual.data(), terms.data(), nterms, &point, cornerv ? read_corner : read, nbc,
                                  count, use, &sol) != (cornerv ? elements_functions[tri9] : wanted))
      rtlib_fatal_in("measure_zgalerkin", "ZGalerkin Failed!");
    for (uint16_t k = 0; k < count; k++) {
      use(&sol, k);
      double factor = factors[k];
      int j = 0;
      for (uint16_t v = 1; v <= nf; v++) {
        equation *e = eqn(p, v);
        if (!e) continue;
        double &zz = z[size_t(k) * per + (i - 1) * nf + v - 1];
        const double(*R)[20] =
            reinterpret_cast<const double(*)[20]>(residual.data()) + (size_t(k) * nterms + 2 * j++) * nbc;
        const double *P = R[nbc], *Q = R[0];
        zz += (P[0] - factor * Q[0]) * (P[0] - factor * Q[0]);
        bool carried = region_tree(&e->velocity, cell.region) != nullptr;
        // The tetrahedron's interior bubble is quartic and so reads an error of one order above
        // the quadratic cell's; the cubic bubble of each interior face is the one that reads it
        // (as the triangle's cubic interior bubble does in 2D). Its residual within this cell is
        // kept here and joined with the neighbour's share below, where the fluxes of the two
        // cells through the face meet as their jump. On linear tetrahedra the edges' quadratic
        // functions read it instead (edge_share), joined over all the cells around each edge.
        if (edges) edge_share(&edge[((size_t(k) * ncells + i - 1) * 6) * nf + v - 1], nf, R[1], R[nb + 1], factor);
        else if (three)
          for (int sd = 1; sd <= 4; sd++) {
            if (cell.neighbour[sd - 1] <= 0) continue;
            const double *G = R[sd], *H = R[nb + sd];
            face[((size_t(k) * ncells + i - 1) * 4 + sd - 1) * nf + v - 1] = H[0] - factor * G[0];
          }
        else if (sides && (carried || linear))
          for (int sd = 1; sd <= 3; sd++) {
            if (cell.neighbour[sd - 1] <= 0) continue;
            const double *G = R[1], *H = R[nb + 1];
            int a = 2 + sd, b = 5 + sd;  // the side's nodes of the side code (0-based)
            double r = sidecode == tri6 ? H[a] - factor * G[a] : (H[a] - H[b]) - factor * (G[a] - G[b]);
            face[((size_t(k) * ncells + i - 1) * 4 + sd - 1) * nf + v - 1] = r;
          }
        // The interior residual against the side functions (the cell's midside nodes 4..6; the
        // side bubble of side sd is the midside function of its node 3 + sd).
        double inside = 0;
        if (weighted)
          for (int sd = 1; sd <= 3; sd++) {
            double S[20] = {};
            point.side = uint8_t(sd);
            treeval_surf_galerkin(p, S, region_tree(&e->surface, cell.region), &point, sidebubble[0][sd - 1]);
            point.side = 0;
            double r = R[nbc + 1][2 + sd] - factor * R[1][2 + sd] + S[0];
            inside += r * r;
          }
        // 3. Natural boundary terms against the side bubbles: with NBCMEASURE, and always in a
        // linear steady run's calibrated estimate. There a flux that misses its natural condition
        // is error the cells' own residuals do not read: one cell through a slender beam's depth
        // holds a parabolic shear as a straight one, the free sides' traction is off by a fifth,
        // and the misfit turns the whole beam (a 10 x 1 cantilever's tip ended 6.7e-4 of its
        // range off at ERRLIM 1e-4, its estimate reading a third of its error). Not in a nonlinear
        // system: a row that holds another variable's flux there (a stream function's no-slip
        // wall held through the vorticity's row) misses it most in the corners however fine
        // the cells, and the run would end at its grid limit.
        if (cell.hasbound && (p->nbcmeasure || (steady && !p->nonlinear)))
          for (int sd = 1; sd <= dim + 1; sd++) {
            uint16_t d = cell.bdid[sd - 1];
            if (!d) continue;
            uint16_t kb = bcs_find_surf_bc(m->domain, d, v, &p->formulas);
            if (!kb || kb > p->formulas.bcs.count) continue;
            bc *r = p->formulas.bcs.items[kb - 1];
            if (!bcs_side_integral(r)) continue;
            uint16_t j = bcs_find_bc_regix(r, cell.region);
            int32_t bub = sidebubble[three][sd - 1];
            double G[20] = {}, H[20] = {};
            point.side = uint8_t(sd);
            treeval_surf_galerkin(p, G, region_tree(&r->lists[1], j), &point, bub);
            treeval_surf_galerkin(p, H, region_tree(&e->surface, cell.region), &point, bub);
            point.side = 0;
            zz += (G[0] - H[0]) * (G[0] - H[0]);
          }
        // 4. Scaled by the largest row scale of the cell's unknowns (see natural_side_nodes).
        bool skip[20] = {};
        int nskip = natural_side_nodes(p, cell, v, nfun, skip);
        double mx = 0;
        for (int kk = 0; kk < nfun; kk++) {
          if (skip[kk] && nskip < nfun) continue;
          int32_t r = row_of(p, v, cell.nodes.data[kk]);
          mx = std::max(mx, std::fabs(at(&p->firstscale, r) * at(&p->precscale, r)));
        }
        // A cell with a side along which every locking variable is held (a wall where the whole
        // velocity is given) has few divergence-free fields left: its error lies in the stiff
        // combination and its residual, the penalty's pressure locked against the wall (a Couette
        // flow's cells there held 4e4 times the pressure of those inside), is measured by the
        // stiff rows' own scale. Scaled by the locking factor they read 100-400 times their own
        // error and half the grid's estimate.
        double lockv = floors[(modes && floors.size() > size_t(nf) ? size_t(k) * nf : 0) + v - 1];
        if (lockv > 1 && steady && cell.hasbound)
          for (int sd = 1; sd <= dim + 1; sd++) {
            bool all = true;
            for (uint16_t w = 1; w <= nf && all; w++)
              if (floors[w - 1] > 1) all = held_side(p, cell, sd, w);
            if (all) lockv = 1;
          }
        mx *= lockv;
        if (weighted) zz = std::max(zz, weighted_share * inside);
        zz *= mx * mx * s * cal.cell[v - 1];
        // 5. The held values' misfit along the cell's held sides, weighed by the cell's size as
        // the residuals are: a steady solution's only (a mode holds zero, a time step's values
        // are measured by the time estimate).
        if (steady) {
          double h = held_misfit(p, cell, v);
          zz += h * h * s;
        }
        if (sides) scale[size_t(k) * per + (i - 1) * nf + v - 1] = mx * mx * s;
        // A corner cell's shares of the jumps across its sides from the corner (side sd is
        // opposite vertex sd): the residual against the side's odd cubic function.
        if (cornerv) {
          for (int sd = 1; sd <= 3; sd++) {
            if (sd == cornerv || cell.neighbour[sd - 1] <= 0) continue;
            const double *G = R[2], *H = R[nbc + 2];
            int a = 2 + sd, b = 5 + sd;
            cface[(size_t(i - 1) * 3 + sd - 1) * nf + v - 1] = (H[a] - H[b]) - factor * (G[a] - G[b]);
          }
          cscale[size_t(i - 1) * nf + v - 1] = mx * mx * s;
        }
      }
    }
  }
  // 6. The faces' residuals, each the sum of the two cells' shares, to both cells. The odd
  // cubic side function runs the other way in the neighbour, so there its share is taken off.
  double other = sidecode == tri9 ? -1.0 : 1.0;
  // The jumps across the sides from a re-entrant corner, each the two cells' shares (the odd
  // function runs the other way in the neighbour), to the cell with its own scale.
  if (corners)
    for (int32_t i = 1; i <= ncells; i++) {
      MeshCell &cell = cell_at(m, i);
      int cv = corner[size_t(i - 1)];
      if (!cell.alive || !cv) continue;
      for (int sd = 1; sd <= 3; sd++) {
        int32_t j = cell.neighbour[sd - 1];
        if (sd == cv || j <= 0 || j > ncells || !cell_at(m, j).alive || !corner[size_t(j - 1)]) continue;
        int back = back_side(m, i, j, 3);
        if (!back) continue;
        for (uint16_t v = 1; v <= nf; v++) {
          double r =
              cface[(size_t(i - 1) * 3 + sd - 1) * nf + v - 1] - cface[(size_t(j - 1) * 3 + back - 1) * nf + v - 1];
          z[size_t(i - 1) * nf + v - 1] += r * r * cscale[size_t(i - 1) * nf + v - 1] * corner_side;
        }
      }
    }
  if (edges) edge_jumps(m, edge, scale, z, count, nf);
  else if (sides)
    for (int32_t i = 1; i <= ncells; i++) {
      MeshCell &cell = cell_at(m, i);
      if (!cell.alive) continue;
      for (int sd = 1; sd <= dim + 1; sd++) {
        int32_t j = cell.neighbour[sd - 1];
        if (j <= 0 || j > ncells || !cell_at(m, j).alive) continue;
        int back = back_side(m, i, j, dim + 1);
        if (!back) continue;
        for (uint16_t k = 0; k < count; k++)
          for (uint16_t v = 1; v <= nf; v++) {
            double r = face[((size_t(k) * ncells + i - 1) * 4 + sd - 1) * nf + v - 1] +
                       other * face[((size_t(k) * ncells + j - 1) * 4 + back - 1) * nf + v - 1];
            z[size_t(k) * per + (i - 1) * nf + v - 1] +=
                r * r * scale[size_t(k) * per + (i - 1) * nf + v - 1] * cal.side[v - 1];
          }
      }
    }
  double g = 0;
  for (uint16_t k = 0; k < count; k++)
    g = store(m, k == 0 ? add : 1, [&](int32_t i, const MeshCell &, double &T, double &W) {
      for (uint16_t v = 1; v <= nf; v++) {
        double w = weight_of(p, v);
        T += w * w * z[size_t(k) * per + (i - 1) * nf + v - 1];
        W += w * w;
      }
    });
  // 7. The grid's figure of a steady scalar equation in the plane is the RMS of its cells'
  // estimates over the domain, each weighed by its cell's area, as the RMS error is: the plain
  // mean over cells counts a refined corner's many small cells for more than their area, and a
  // strip whose answer decays from one end read 5.7 times its error on a mesh graded towards
  // it, its cells' estimates within 1-2 times their own errors. (A system's cells read its
  // locking and its coupling through factors set against the plain mean: it keeps that.)
  if (steady && !three && nf == 1 && !add) {
    double S = 0, area = 0;
    for (int32_t i = 1; i <= ncells; i++) {
      const MeshCell &cell = cell_at(m, i);
      if (!cell.alive) continue;
      S += std::fabs(cell.area) * cell.error * cell.error, area += std::fabs(cell.area);
    }
    if (area > 0) g = std::sqrt(S / area);
  }
  return g;
}

double measure_zgalerkin(pde *p, vector2d *values, double time, double factor, uint8_t add) {
  TRACE("measure_zgalerkin");
  return zgalerkin_each(p, &values, &factor, 1, 0, time, add);
}

double measures_measure_modes(pde *p, vector2d *const *values, const double *factors, uint16_t count) {
  TRACE("measures_measure_modes");
  if (count == 0) return 0.0;
  if (p->estimator == 0 || p->estimator == 1 || p->fitlist.count > 0 || p->fronts.count > 0) {
    double g = 0;
    for (uint16_t k = 0; k < count; k++) {
      p->mode = uint16_t(k + 1);
      g = measures_measure(p, values[k], 0, factors[k], k >= 1);
    }
    return g;
  }
  return zgalerkin_each(p, values, factors, count, 1, 0, 0);
}
