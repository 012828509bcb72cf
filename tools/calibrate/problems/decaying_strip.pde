{ 10 x 1 strip, Laplace, u = cos(2 pi y) exp(-2 pi x) held at both ends, sides free (range 2). }
TITLE 'Decaying strip to an error limit'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  k = 2*pi
  ex = cos(k*y)*exp(-k*x)
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (10,0) VALUE(u) = 0 LINE TO (10,1) NATURAL(u) = 0
    LINE TO (0,1) VALUE(u) = ex LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/2 AS 'err_u'
END
