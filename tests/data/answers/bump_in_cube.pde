{ A Gaussian bump in the unit cube, steady: del2(u) = del2(ex) with u = ex on every face,
  ex = exp(-20 ((x-0.3)^2 + (y-0.6)^2 + (z-0.4)^2)). The answer is ex, peak 1 at
  (0.3,0.6,0.4); at ERRLIM 1e-3 the peak is within 3e-3 of it. }
TITLE 'Bump in a cube'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = exp(-20*((x-0.3)^2 + (y-0.6)^2 + (z-0.4)^2))
EQUATIONS
  div(grad(u)) - div(grad(ex)) = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 1
    START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.3, 0.6, 0.4) AS 'peak'
END
