// system_record: the assembled system of a problem as one record, `System`: the layout
// of the unknowns, the matrices, the scales, the preconditioners, the boundary tables,
// the time weights and the method codes. The solver (solver/) writes it while it lays
// out, assembles and solves, and releases it (system_release, solver/system.h) when the
// problem is cleared; nothing else writes it. The problem record `pde` derives from it,
// so each field is reached as p->name.
#pragma once
#include <cstdint>

#include "model/matrix_records.h"
#include "runtime/vector2d.h"
#include "runtime/vector2l.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

struct System {
  // Counts: E field variables with an equation, C constraints; unknown totals NF
  // (field), NS (field and scalar), NT (all); unknown count per variable block.
  uint16_t neqs, nconstraints;
  int32_t nf, ns, nt;
  vectorl unknowns;
  bigmatx layout;                     // row maps: variable, node (or item) -> global row
  sparsemx link;                      // node adjacency, in the order of the reordering
  vectorl perm, invperm;              // node -> position and position -> node; empty: identity
  sparsemx matrix;                    // the assembled Jacobian A
  sparsemx tmatrix;                   // the time matrix T (time-dependent problems)
  sparsemx block;                     // node-numbered work block of one variable pair
  vectord operate, toperate, source;  // F, Ft and S by global row
  vectord residual;                   // the scaled residual (S - F) x first scale, kept by the drivers
  vectord firstscale;                 // row scale of the matrix scaling
  vectord secondscale;                // column scale of the matrix scaling
  vectord precscale;                  // per-row norm vector of the scaled Jacobian
  vectord precvec;                    // diagonal preconditioners
  sparsemx precmx;                    // block, incomplete and band-copy preconditioners
  uint8_t precon_waits;               // precmx is not made: the solves of the matrix take its complete factor
  bandmxd precband;                   // band factorisation preconditioner
  // Per variable: scale factor, sign, saved scale, time scale and range.
  vectord scalefac, scalesign, savedscale, timescale, ranges;
  double rmsscale;
  double perfactor;  // factor of periodic folding (1 periodic, -1 antiperiodic)
  // Boundary tables per field variable: value-condition nodes and their condition
  // numbers, point-load nodes and theirs; cells touching a natural condition and
  // cells touching a solution-dependent value condition.
  vector2l valuenodes, valuebcs, loadnodes, loadbcs;
  vectorl natcells, depcells;
  // Time weights per variable: node count, nodes and weights; the quantised TCENTER
  // and its complement.
  vectorn tcount;
  vector2d tnodes, tweights;
  double theta, theta1;
  // Method codes: estimator (0 curvature, 1 Galerkin, 2 centre), solver (0 CG,
  // 1 LANCZOS, 2 VANDENBERG, 3 FILL_LU), preconditioner (0..6).
  uint8_t estimator, solver, precon;
};
