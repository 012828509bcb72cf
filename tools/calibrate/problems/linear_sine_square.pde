{ Linear triangles, unit square, u = sin(pi x) sin(2 pi y), held at zero (range 2). }
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
