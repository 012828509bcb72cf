{ A steady constraint with the equation written with its sign turned:
  0 - div(grad(u)) = 2 pi^2 cos(pi x) cos(pi y) on the insulated unit square, INTEGRAL(u) = 1.
  Exact: u = 1 + cos(pi x) cos(pi y), so u(0,0) = 2 (within 1e-4) and INTEGRAL(u) = 1. }
TITLE 'steady constraint, sign turned'
VARIABLES
  u
EQUATIONS
  0 - div(grad(u)) = 2*pi^2*cos(pi*x)*cos(pi*y)
CONSTRAINTS
  INTEGRAL(u) = 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT EVAL(u,0,0) AS 'corner' REPORT INTEGRAL(u) AS 'int_u'
END
