{ Heating from near rest: u_t = lap u + 1 on the unit square, u = 0 on its sides, u = 1e-9 sin(pi x) sin(pi y)
  at t = 0. u = sum over odd m, n of 16/(pi^2 m n lam) (1 - exp(-lam t)) sin(m pi x) sin(n pi y),
  lam = pi^2 (m^2 + n^2): u(0.5,0.5) = 0.0198095 at t = 0.02 and 0.0431403 at t = 0.05. }
TITLE 'Heating from near rest'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
INITIAL VALUES
  u = 1e-9*sin(pi*x)*sin(pi*y)
EQUATIONS
  div(grad(u)) + 1 = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.05
PLOTS
  FOR T = 0.02 0.05
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'u'
END
