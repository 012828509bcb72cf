{ Laplace's equation in the square (-1,1)^2 with the wedge between the rays at angles 0 and
  -pi/4 cut away, so that the domain opens 7 pi/4 at the origin. The exact answer is
  u = r^(4/7) sin(4 th/7), th the angle from the positive x axis: zero on both rays, its
  gradient infinite at the corner; its range is 2^(2/7) = 1.2190. Refined to ERRLIM 1e-6
  the run ends converged within its grid limit, with its L2 error against the answer within
  the limit's share of the range (1.2e-6), and its value beside the corner, at (-0.001, 0.001),
  where the answer is 0.0229453856, within twice that. }
TITLE 'Re-entrant wedge corner to an error limit'
SELECT
  ERRLIM = 1e-6
VARIABLES
  u
DEFINITIONS
  r = sqrt(x^2 + y^2)
  th = atan2(y, x)
  ex = r^(4/7)*sin(4*th/7)
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) VALUE(u) = ex LINE TO (1,1) TO (-1,1) TO (-1,-1) TO (1,-1)
      VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'L2'
    REPORT EVAL(u, -0.001, 0.001) AS 'u_near'
END
