{ An integral in a time equation's source: dt(u) = div(grad(u)) - 2*INTEGRAL(u) on the unit
  square, insulated, u(0) = 2: u stays uniform, u' = -2 u, u = 2 exp(-2t).
  At t = 1: u = 0.2706706, within 2.5e-3 (the integral taken at both ends of each step). }
TITLE 'Integral decay in time'
VARIABLES
  u
INITIAL VALUES
  u = 2
EQUATIONS
  dt(u) = div(grad(u)) - 2*INTEGRAL(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY EXPORT
      REPORT VAL(u, 0.3, 0.6) AS 'u'
END
