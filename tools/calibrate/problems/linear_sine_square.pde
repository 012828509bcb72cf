{ Linear triangles to ERRLIM 1e-3 on the unit square: div(grad u) + 5 pi^2 sin(pi x) sin(2 pi y)
  = 0, u = 0 on the sides. Exact: u = sin(pi x) sin(2 pi y). The ratio is the RMS error against
  it over the range and ERRLIM: between 0.15 and 1 for a run that stops at its limit without
  refining far past it (the side jumps read twice the error: it ended at 0.13 on 9,362 nodes). }
TITLE 'Linear sine to an error limit'
SELECT
  ERRLIM = 1e-3
  ORDER = 1
VARIABLES
  u
DEFINITIONS
  uex = sin(pi*x)*sin(2*pi*y)
EQUATIONS
  div(grad(u)) + 5*pi^2*uex = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-uex)^2)/INTEGRAL(1))/2 AS 'err_u'
END
