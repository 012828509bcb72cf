{ Unit cube, u = sin(pi x) sin(pi y) sin(pi z), held at zero (range 1). }
TITLE 'Sine in a cube to an error limit'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = sin(pi*x)*sin(pi*y)*sin(pi*z)
EQUATIONS
  div(grad(u)) + 3*pi^2*ex = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/1 AS 'err_u'
END
