{ 4 x 1 x 1 slab, u = sin(pi x/4) sin(pi y) sin(pi z), held at zero (range 1). }
TITLE 'Slender slab to an error limit'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = sin(pi*x/4)*sin(pi*y)*sin(pi*z)
EQUATIONS
  div(grad(u)) + (2*pi^2 + pi^2/16)*ex = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (4,0) TO (4,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/1 AS 'err_u'
END
