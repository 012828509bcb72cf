{ Fisher-KPP travelling front: dt(u) = del2(u) + u (1 - u) on the strip 0 <= x <= 100,
  0 <= y <= 0.5, no flux on all sides, u = 1/(1 + exp(2 (x - 10))) at t = 0.
  Reference (1D method of lines, 10001 points, BDF rtol 1e-10): integral(u)/0.5 = 63.15174
  at t = 30 (within 1), and u stays about 0 ahead of the front: u(99) within 1e-3 of 0.
  The state u = 0 is unstable, so what the step solves leave there must not grow into a
  second front. }
TITLE 'Fisher-KPP front'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  MESH_SPACING = 0.25
INITIAL VALUES
  u = 1/(1 + exp(2*(x - 10)))
EQUATIONS
  dt(u) = div(grad(u)) + u*(1 - u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (100,0) TO (100,0.5) TO (0,0.5) TO FINISH
TIME 0 TO 30
PLOTS
  FOR T = 30
    SUMMARY EXPORT
      REPORT integral(u)/0.5 AS 'pos30'
      REPORT val(u,99,0.25) AS 'u99'
END
