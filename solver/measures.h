// measures: the error estimate of every cell of a solved problem (curvature, Galerkin
// residual at the nodes, centre Galerkin with bubbles), the front and resolve additions,
// and the variable ranges, scaled residual and residual norm the solvers use.
// One file per estimator: solver/measures_curvature.cpp, measures_third.cpp, measures_galerkin.cpp,
// measures_fronts.cpp; the choice among them, ranges and residuals in solver/measures.cpp.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/vector2d.h"
#include "runtime/vectord.h"

struct pde;
struct celltable;
struct sparsemx;

int measures_init();

// Set from DEBUG(MEASURE).
extern uint8_t measures_debug;

// Runs the problem's estimator (0 curvature, 1 Galerkin, 2 centre Galerkin), then the
// fronts when any are declared; returns the global figure. factor multiplies the
// source terms; add combines with the old estimates (root of the summed squares).
double measures_measure(pde *p, vector2d *values, double time, double factor, uint8_t add);
// The estimate of every mode k = 1..count in turn, as measures_measure (values[k-1], 0,
// 0, factors[k-1], add from the second on) with the current mode k would make it; the
// last one's RMS. Without fits or fronts the cells are visited once for all modes.
double measures_measure_modes(pde *p, vector2d *const *values, const double *factors, uint16_t count);
// In a system that holds a combination of its variables' derivatives (a divergence) by a
// coefficient stiffer than the error limit can resolve (a penalty), the size of that
// combination in the answer, as a share of the variables' range, with those variables in
// *vars; 0 for any other system.
double measures_constraint_miss(pde *p, vector2d *values, std::vector<uint16_t> *vars);
// Curvature estimate from the second derivatives at each cell's centroid, smoothed over
// the nodes; blend mixes with the old estimates by HYSTERESIS. Returns 1.0 when the
// problem's error flag is raised during the cell loop.
double measures_measure_curvature(pde *p, vector2d *values, uint8_t add, uint8_t blend);
// The same with each variable's range on the floor of its scale (measures_noise_floors), as
// the centre-Galerkin estimate measures it.
double measures_measure_curvature_floored(pde *p, vector2d *values);
// The curvature estimate, keeping in seconds what measures_floor_by_third_derivatives then
// reads of the same values on the same mesh: per cell its measure, its longest side and each
// variable's second derivatives at its centre (emptied when the measure was cut short).
double measures_measure_curvature_keeping(pde *p, vector2d *values, std::vector<double> *seconds);
// Keeps every cell's estimate at least at the interpolation error its third derivatives give
// (the change of the second derivatives, averaged at the vertices, along the sides of quadratic
// cells in one and two dimensions), so that a feature narrower than the cells reads as it
// misses; cells smaller than reference (the mean cell when 0) count for less. seconds, when
// given and not empty, holds what the curvature estimate kept of the same values. Returns rms, the
// estimator's RMS error, grown as the floor grew the sum of the cells' squared estimates.
double measures_floor_by_third_derivatives(pde *p, vector2d *values, double reference, double rms,
                                           const std::vector<double> *seconds = nullptr);
// The mean measure of the live cells; with unsplit_only, of those no refinement has split or
// made (0 when there are none).
double measures_mean_cell(pde *p, bool unsplit_only = false);
// Galerkin residual gathered at the nodes, and the residual against each cell's bubble
// (fatal "ZGalerkin Failed!" when a volume term gives other than one value).
double measure_galerkin(pde *p, vector2d *values, double time, double factor, uint8_t add);
double measure_zgalerkin(pde *p, vector2d *values, double time, double factor, uint8_t add);
// Adds the FRONT declarations' error in every cell where a front changes sign; returns
// the global figure with their contribution (global unchanged when no cell is crossed).
double measures_map_fronts(pde *p, double global);
// Raises the estimates where the RESOLVE expressions are poorly represented.
void measures_resolve(pde *p, double time);
// The largest estimate of the live cells, 0 for none.
double measures_max_measure(const celltable *cells);
// Per variable: mean magnitude, minimum, maximum and range (never 0).
void measures_get_range(pde *p, vector2d *values);
// out := the residual scaled by the preconditioner and column scales and divided by
// each variable's range (with FULLERR the transposed matrix is applied first); out may
// be res.
void measures_scale_res(pde *p, vectord *out, const vectord *res);
// y := A^T x with the problem's assembled matrix, which FULLERR applies to the residual:
// the sparse matrices' sparsemx_mtv_0, installed by the solver library.
extern void (*measures_mtv)(vectord *y, const sparsemx *A, const vectord *x);
// Per variable the RMS of the problem's scaled residual; returns the overall RMS.
double measures_res_norm(pde *p, vectord *out);
// Per field variable the factor (at most 1) that takes its scaled residual from its own range
// to the floor of its scale: 1 but for a variable whose range is noise beside the size its
// terms need to balance the others' (zero in truth), as the grid's estimate measures it. Read
// off the problem's last scaled matrix.
std::vector<double> measures_noise_floors(pde *p);
