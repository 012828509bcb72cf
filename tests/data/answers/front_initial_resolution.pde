{ The start of a Fisher front, u = 1/(1 + exp(2 (x - 10))) on a strip 100 long: the start is
  resolved at its points, not only in its cell integrals (in which a front's errors cancel), to
  the run's ERRLIM: the interpolated start lies within 5e-3 of the expression everywhere. }
TITLE 'Fisher initial state'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  ex0 = 1/(1 + exp(2*(x - 10)))
INITIAL VALUES
  u = 1/(1 + exp(2*(x - 10)))
EQUATIONS
  dt(u) = div(grad(u)) + u*(1 - u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (100,0) TO (100,0.5) TO (0,0.5) TO FINISH
TIME 0 TO 1e-6
PLOTS
  FOR T = 1e-6
  SUMMARY EXPORT
    REPORT integral(u)/0.5 AS 'pos0'
    REPORT globalmax(abs(u - ex0)) AS 'maxdev'
    REPORT val(u, 10.5, 0.25) - val(ex0, 10.5, 0.25) AS 'dev105'
END
