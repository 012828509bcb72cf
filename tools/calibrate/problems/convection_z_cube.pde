{ Convection along z in the unit cube, dz(u) = eps div(grad u), eps = 0.05, u = 0 at z = 0 and 1 at
  z = 1, sides free: u = (exp((z-1)/eps) - exp(-1/eps))/(1 - exp(-1/eps)). }
TITLE 'Convection in z in a cube'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  eps = 0.05
  ex = (exp((z - 1)/eps) - exp(-1/eps))/(1 - exp(-1/eps))
EQUATIONS
  dz(u) - eps*div(grad(u)) = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 1
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/1 AS 'err_u'
END
