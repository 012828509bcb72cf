{ Laplace's equation in the unit square with the exact answer u = exp(x) cos(y): held at x = 0,
  free at y = 0 (its flux there is zero), given its flux at y = 1 and a Robin condition
  du/dn = 2 exp(x) cos(y) - u at x = 1, to ERRLIM 1e-3 on quadratic triangles. 'rms' is the RMS
  error against the answer over the square, over the answer's range (e - cos 1 = 2.1779): the
  run's estimate reads it within a factor of three (it read 3.6 times over: the cells along the
  three free sides were scaled by their nodes' rows there, which hold half a cell's support). }
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
