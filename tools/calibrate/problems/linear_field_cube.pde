{ A linear field in the unit cube, u = x + 2y + 3z held on every face: every cell order holds it
  exactly, so the true error is round-off and the estimate should be as small (range 6). }
TITLE 'Linear field in a cube'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = x + 2*y + 3*z
EQUATIONS
  div(grad(u)) = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 1
    START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/6 AS 'err_u'
END
