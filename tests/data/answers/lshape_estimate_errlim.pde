{ Laplace's equation in the L-shaped domain (-1,1)^2 less its fourth quadrant, whose corner
  opens 3 pi/2 at the origin, to ERRLIM 1e-3. The exact answer is u = r^(2/3) sin(2 th/3), th the
  angle from the positive x axis, its range 2^(1/3); the domain's area is 3. Reported: the RMS
  error over the domain against the answer, relative to its range, which the log's last
  RMS ERR reads within a factor of three. }
TITLE 'L-shape estimate against its error'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  r = sqrt(x^2 + y^2)
  th = atan2(y, x)
  ex = r^(2/3)*sin(2*th/3)
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) VALUE(u) = ex LINE TO (1,1) TO (-1,1) TO (-1,-1) TO (0,-1)
      VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/3)/2^(1/3) AS 'rms'
END
