// switches: the problem's SELECT and DEBUG switches as one value record, `Switches`. The
// reader writes it through its table of member pointers (reader/switches.cpp) while a
// descriptor is parsed; every parse starts from the defaults of its one constructor
// (preset, which keeps the few switches a parse leaves as an earlier parse set them).
// After the parse the run reads it, apart from the writers listed below, which settle
// a switch the descriptor left to the run. The problem record `pde` derives from it, so
// each switch is reached as p->name.
//
// Written after the parse: changelim, overshoot and endtime (chosen by sizes when not
// given), symmetric (cleared where the assembled matrix is found not to be), reorder
// (forced by the incomplete-factor preconditioners), iterate, nrupdate and mergerr
// (their run values when 0 or unset), smoothinit (cleared once the start is smoothed) and
// gridlimit (raised when the user asks for more grids).
#pragma once
#include <cstdint>

struct Switches {
  // The tag of the constructor that holds the defaults.
  enum Defaults { defaults };
  // Every switch zero, as a zeroed problem record holds it before its first parse.
  Switches() = default;
  // The defaults.
  explicit Switches(Defaults);
  // Every switch at its default, but for those a parse leaves as an earlier parse of
  // the same problem set them: STAGEGRID, CURVEALL, THERMAL_COLORS, DIPRECON, the stereo
  // mode, the FITTING, INIT and MAP debug switches, NGRIDX, NGRIDY, NGRIDZ, EXPORTGRID,
  // FINDERBINS, CSCALE and the start time.
  void preset();
  // ERRLIM when the descriptor defines none (a definition, evaluated per stage, not a
  // member here: the record's errlim).
  static constexpr double errlim_default = 0.001;

  // SELECT switches: bytes.
  uint8_t eigen, nonlinear, notifydone, stagegrid, timedep;
  uint8_t autohist, autostage, cse, curvegrid, eispack, merge, paintgrid, planking, plotintegrate, quantize, regrid,
      reorder, rolltable, scaling, statusgrid, surfplots, upwind;
  uint8_t paintregions;  // PAINTREGIONS; PAINTMATERIALS is held as its opposite here
  uint8_t busymon, cdfdouble, cdfextend, dense, fillin, firstparts, fixdt, fullerr, hardmonitor, moving, nbcmeasure,
      nominmax, notips, painted, pauseplots, plotmeshupdate, printmerge, rooterr, smoothinit, symscale, triginit,
      v216integral, ataprecon, biprecon, fill_lu, forcegrid, galerkin_error, center_error, curvature_error, iccg,
      lanczos, precondition, vandenberg;
  uint8_t symmetric;  // NONSYMMETRIC, held as its opposite
  uint8_t curveall, thermal_colors, diprecon, stereo;
  // Per-module debug switches.
  uint8_t dbg_buildeq, dbg_coupling, dbg_domain, dbg_edges, dbg_feat, dbg_finder, dbg_fitting, dbg_formulas, dbg_grid,
      dbg_loading, dbg_measure, dbg_modes, dbg_plot, dbg_read, dbg_refine, dbg_sparsecg, dbg_sparsemx, dbg_symtab,
      dbg_timedep, dbg_treeclas, dbg_treedif, dbg_treemods, dbg_trees, dbg_treesimp, dbg_treeval, dbg_init, dbg_map,
      dbg_solve;

  // SELECT switches: integers.
  int32_t order, initgridlimit, gridlimit, nodelimit, iterate, linupdate, newton, torder, nrupdate, area_cutoff, tnorm,
      select_subspace, font, delay, bandlu, contourgrid, surfacegrid, vectorgrid, elevationgrid, cdfgrid, contours,
      colorcycle, loglimit;
  int32_t ngridx, ngridy, ngridz, exportgrid, finderbins;
  int32_t ngrid, deadtime, option;

  // SELECT switches: reals (ERRLIM is the record's errlim, GROFAC is the domain's).
  double errfac, aspect, gridarc, changelim, changeclamp, coersce, control2, deltat, endtime, extrap, hysteresis,
      mergerr, minnlstep, nlslope1, nlslope2, overshoot, oversplit, sensitivity, steepness, tcenter, tgrowth, upfactor,
      deadshare;
  double cscale, starttime_value;

  // SELECT switches of printing and exported windows.
  uint8_t metafile;  // export of a plot window: 0 enhanced metafile (EMF), 1 classic (WMF)
  uint8_t overlay, hex;
  uint8_t printcolour;  // 2 black printing, 0 colour
  uint8_t printmatrix, printgrid;
};
