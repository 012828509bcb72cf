{ A constraint in time whose multiplier is zero: dt(u) = div(grad(u)) on [0,2]x[0,1], insulated,
  u(0) = 3 + cos(pi x/2); CONSTRAINTS INTEGRAL(u) = 6 (the dynamics keep it, so the answer is
  the unconstrained one): u = 3 + cos(pi x/2) exp(-pi^2 t/4).
  At t = 0.2: u(0, 0.5) = 3.6104980, u(2, 0.5) = 2.3895020, INTEGRAL(u) = 6.
  The equation is written time side first, so its rows carry the opposite sign of the
  usual form: the constraint's row must follow them for the border to stay symmetric. }
TITLE 'Constraint in time on a strip'
VARIABLES
  u
INITIAL VALUES
  u = 3 + cos(pi*x/2)
EQUATIONS
  dt(u) = div(grad(u))
CONSTRAINTS
  INTEGRAL(u) = 6
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.2
    SUMMARY EXPORT
      REPORT VAL(u, 0, 0.5) AS 'u_left'
      REPORT VAL(u, 2, 0.5) AS 'u_right'
      REPORT INTEGRAL(u) AS 'int_u'
END
