// A cell built in code for the evaluator's tests: the problem's rules and basis tables
// for its basis, the localised cell, and one variable's nodal values (all 0).
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "elements/quature.h"
#include "model/pdedat_record.h"

inline void test_cell(pde *p, LocalCell *lc, vector2d *vals, int32_t code,
                      const std::vector<std::array<double, 3>> &xyz, int timedep = 1) {
  int dim = elements_dimension[code], order = elements_order[code];
  p->dimension = uint16_t(dim);
  p->upfactor = 1;
  p->vrule = quature_interior_choice(timedep, dim, order);
  p->sset = quature_side_choice(timedep, dim, order);
  quature_build_vquad_basis(&p->vquad, p->vrule, code);
  quature_build_squad_basis(&p->squad, p->sset, code);
  *lc = {};
  lc->region = 1;
  lc->frame.gbasis = code;
  lc->frame.curved = order > 1;
  for (size_t i = 0; i < xyz.size(); i++) {
    lc->nodes[i] = int32_t(i + 1);
    for (int r = 0; r < 3; r++) lc->frame.nodes[i][r] = xyz[i][r];
  }
  elements_jacobian(elements_centroid[dim].L, &lc->frame);
  vector2d_resize(vals, 1, 1);
  vectord_resize(&vals->data[0], int32_t(xyz.size()), int32_t(xyz.size()));
}

// Entries of a matrix or vector against want * scale, to 1e-12 of the largest.
inline void expect_matrix(const double *got, const std::vector<double> &want, double scale, const std::string &what) {
  double big = 0;
  for (double w : want) big = std::max(big, std::fabs(w * scale));
  for (size_t k = 0; k < want.size(); k++) EXPECT_NEAR(got[k], want[k] * scale, 1e-12 * big) << what << " " << k;
}
