// switches: the defaults of the SELECT and DEBUG switches.
#include "model/switches.h"

#include <cmath>

// Switches not named here start at zero (off). CHANGELIM and OVERSHOOT at -1 are
// chosen by sizes.
Switches::Switches(Defaults) {
  *this = Switches{};
  // Integers.
  order = 2, initgridlimit = 5, gridlimit = 8, nodelimit = 1000000, iterate = 0;
  linupdate = 5, newton = 0, torder = 1, nrupdate = 1, area_cutoff = 2, tnorm = 2;
  select_subspace = 0, font = 0, delay = 0, bandlu = 0;
  contourgrid = 51, surfacegrid = 51, vectorgrid = 41, elevationgrid = 401, cdfgrid = 51;
  contours = 15, colorcycle = 64, loglimit = 15;
  ngrid = 0, deadtime = 30000, option = 0;
  // Words: colour printing, enhanced metafiles, no overlay or hexagonal layout, no PRINT lists.
  printcolour = 0, metafile = 0, overlay = hex = 0;
  printmatrix = printgrid = 0;
  // Reals.
  errfac = 0.5, aspect = 4.0, gridarc = 30.0, changelim = -1;
  changeclamp = 10.0, coersce = 100000.0, control2 = M_SQRT2, deltat = 0, endtime = 0;
  extrap = 1.0, hysteresis = 0.5, mergerr = 0.01, minnlstep = 0.001, nlslope1 = 0.1;
  nlslope2 = 0.2, overshoot = -1, oversplit = 0.5, sensitivity = 1.0, steepness = 0.5;
  tcenter = 0.5, tgrowth = 1.4, upfactor = 1.0, deadshare = 0;
  // Switches on (PAINTMATERIALS on is PAINTREGIONS off; NONSYMMETRIC off is symmetric).
  autohist = autostage = cse = curvegrid = eispack = merge = paintgrid = 1;
  planking = plotintegrate = quantize = regrid = reorder = rolltable = 1;
  scaling = statusgrid = surfplots = upwind = 1;
  symmetric = 1;
}

void Switches::preset() {
  Switches d(defaults);
  d.stagegrid = stagegrid, d.curveall = curveall, d.thermal_colors = thermal_colors, d.diprecon = diprecon;
  d.stereo = stereo, d.dbg_fitting = dbg_fitting, d.dbg_init = dbg_init, d.dbg_map = dbg_map;
  d.ngridx = ngridx, d.ngridy = ngridy, d.ngridz = ngridz, d.exportgrid = exportgrid, d.finderbins = finderbins;
  d.cscale = cscale, d.starttime_value = starttime_value;
  *this = d;
}
