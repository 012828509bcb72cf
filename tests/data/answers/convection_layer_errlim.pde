{ Convection with a layer at Peclet 30 on quadratic triangles to ERRLIM 1e-3: div(grad u) - 30 dx(u) = 0
  on the unit square, u = 0 at x = 0, u = 1 at x = 1, insulated top and bottom. Exact: u = (exp(30 (x - 1))
  - exp(-30))/(1 - exp(-30)). The ratio is the RMS error against it over the range and ERRLIM: between 0.1
  and 1 for a run that stops at its limit without refining far past it (the flux jumps read six times
  the error: it ended at 0.039 on 3,199 nodes). }
TITLE 'Convection layer to an error limit'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  Pe = 30
  uex = (exp(Pe*(x - 1)) - exp(-Pe))/(1 - exp(-Pe))
EQUATIONS
  div(grad(u)) - Pe*dx(u) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) VALUE(u) = 1 LINE TO (1,1) NATURAL(u) = 0 LINE TO (0,1) VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - uex)^2)/integral(1))/(globalmax(u) - globalmin(u))/ERRLIM AS 'ratio'
END
