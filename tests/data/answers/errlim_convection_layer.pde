{ Convection and diffusion across a unit square with a layer of width 1/30 at x = 1, to
  ERRLIM 1e-3: u'' - 30 u' = 0, u = 0 at x = 0, u = 1 at x = 1, no flux on y = 0 and 1.
  Exact: u = (exp(30 x) - 1)/(exp(30) - 1). The ratio is the RMS error against it over the
  range and ERRLIM: between 0.15 and 1 for a run that stops at its limit without refining far
  past it (the sides' flux jumps of the convective equation read the error tenfold: it ended
  at 0.04 on 3,177 nodes). }
TITLE 'Convection layer to an error limit'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  Pe = 30
  uex = (exp(Pe*x) - 1)/(exp(Pe) - 1)
EQUATIONS
  div(grad(u)) - Pe*dx(u) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) VALUE(u) = 1 LINE TO (1,1) NATURAL(u) = 0 LINE TO (0,1) VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - uex)^2)/integral(1))/(globalmax(u) - globalmin(u))/ERRLIM AS 'ratio'
END
