{ Poisson's equation in a slender 10 x 1 strip with the exact answer u = sin(pi x/10) sin(pi y),
  refined to ERRLIM 1e-4 on quadratic triangles. 'rms' is the RMS error against the answer
  over the strip (the answer's range is 1): the run's estimate reads it within a factor of
  three (it read 0.32 of it: the cells' bubble means of a smooth residual converge faster
  than the error). }
TITLE 'Slender sine to an error limit'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  ex = sin(pi*x/10)*sin(pi*y)
EQUATIONS
  div(grad(u)) + (pi^2 + pi^2/100)*ex = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (10,0) TO (10,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1)) AS 'rms'
END
