{ A constraint's value near the largest number: the residual of its row overflows. }
TITLE 'steady constraint, sign turned'
VARIABLES
  u
EQUATIONS
  0 - div(grad(u)) = 2*pi^2*cos(pi*x)*cos(pi*y)
CONSTRAINTS
  INTEGRAL(u) = -1e308
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT EVAL(u,0,0) AS 'corner' REPORT INTEGRAL(u) AS 'int_u'
END
