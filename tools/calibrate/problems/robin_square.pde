{ Unit square, Laplace, u = exp(x) cos(y): held at x = 0, flux on top, Robin at x = 1 (range e - cos 1). }
TITLE 'Robin square to an error limit'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = exp(x)*cos(y)
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) NATURAL(u) = ex - u + exp(x)*cos(y) LINE TO (1,1)
    NATURAL(u) = -exp(x)*sin(y) LINE TO (0,1) VALUE(u) = ex LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/(exp(1) - cos(1)) AS 'err_u'
END
