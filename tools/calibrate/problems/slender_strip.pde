{ 20 x 1 strip, u = sin(pi x/20) sin(pi y), held at zero all round. }
TITLE 'Slender strip sine'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = sin(pi*x/20)*sin(pi*y)
EQUATIONS
  div(grad(u)) + (pi^2 + pi^2/400)*ex = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (20,0) TO (20,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/1 AS 'err_u'
END
