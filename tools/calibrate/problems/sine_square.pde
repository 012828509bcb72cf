{ Unit square, u = sin(pi x) sin(pi y), held at zero (range 1). }
TITLE 'Sine in a square to an error limit'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = sin(pi*x)*sin(pi*y)
EQUATIONS
  div(grad(u)) + 2*pi^2*ex = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/1 AS 'err_u'
END
