{ A global scalar unknown: the source strength s that makes the integral of u equal 1, for
  div(grad(u)) + s = 0 in the unit square with u = 0 on the boundary. Known answer: the
  integral of u for a unit source is 0.0351442537, so s = 28.4541538 and the centre value is
  0.0736713533 s = 2.0962560. Tolerance: s and the centre value within 1e-3 relative with
  the default settings, INTEGRAL(u) within 1e-6. }
TITLE 'Scalar variable'
VARIABLES
  u
SCALAR VARIABLES
  s
EQUATIONS
  u: div(grad(u)) + s = 0
  s: INTEGRAL(u) = 1
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u)
  SUMMARY EXPORT
    REPORT s AS 's'
    REPORT INTEGRAL(u) AS 'integral'
    REPORT EVAL(u, 0.5, 0.5) AS 'centre'
END
