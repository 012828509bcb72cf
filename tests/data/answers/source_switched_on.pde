{ A source switched on at t = 0.1: u_t = u_xx + f on 0 < x < 1 (a strip, insulated long sides), u = 0 at
  both ends and at t = 0, f = pi^2 sin(pi x) from t = 0.1. Exact: u = (1 - exp(-pi^2 (t - 0.1))) sin(pi x)
  from t = 0.1: u(1/2) = 0.6272922 at t = 0.2. }
TITLE 'Source switched on'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  f = IF t < 0.1 THEN 0 ELSE pi^2*sin(pi*x)
INITIAL VALUES
  u = 0
EQUATIONS
  div(grad(u)) + f = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,0.1)
    NATURAL(u) = 0 LINE TO (0,0.1)
    VALUE(u) = 0 LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.2
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.05) AS 'mid'
END
