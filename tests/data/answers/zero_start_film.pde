{ A slab 0 < x < 1 at u = 0, insulated at x = 0, heated through a film at x = 1 (flux H (1 - u), H = 5):
  u = 1 - sum C_n cos(l_n x) exp(-l_n^2 t), l tan l = H, C_n = 4 sin l_n/(2 l_n + sin 2 l_n) (200 terms):
  u(1) = 0.4768434 at t = 0.02, 0.6912098 at t = 0.1, 0.8669679 at t = 0.5. }
TITLE 'Film heating from zero'
SELECT
  ERRLIM = 1e-5
VARIABLES
  u
DEFINITIONS
  H = 5
INITIAL VALUES
  u = 0
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    NATURAL(u) = -H*(u - 1) LINE TO (1,0.2)
    NATURAL(u) = 0 LINE TO (0,0.2) TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.1 0.5
    SUMMARY EXPORT
      REPORT val(u, 1, 0.1) AS 'uend'
END
