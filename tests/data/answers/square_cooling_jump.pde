{ A unit square at u = 1 cooled to u = 0 on its sides from t = 0 (a jump at the sides):
  u = sum over odd m, n of 16/(m n pi^2) sin(m pi x) sin(n pi y) exp(-(m^2 + n^2) pi^2 t).
  Centre 0.5964652 at t = 0.05 and 0.0839313 at t = 0.15; integral 0.2459289 and 0.0340163
  (series, 200 odd terms each way). }
TITLE 'Cooling of a square'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
INITIAL VALUES
  u = 1
EQUATIONS
  dt(u) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.15
PLOTS
  FOR T = 0.05 0.15
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'centre'
      REPORT integral(u) AS 'total'
END
