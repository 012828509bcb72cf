{ A square at u = 1 with walls at 0 at the default node limit: dt(u) = div(grad(u)). The start
  cannot resolve the jump at the walls; the first steps' regrids stay within the start's nodes
  (the log says when that bound is met) until the jump has smoothed. Exact centre value at
  t = 0.1 (within 2e-3): f(0.5,0.1)^2 = 0.2251384, f(s,t) = sum over odd n of
  4/(n pi) sin(n pi s) exp(-n^2 pi^2 t). }
TITLE 'Cooling square'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
INITIAL VALUES
  u = 1
EQUATIONS
  dt(u) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR T = 0.1
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'centre'
END
