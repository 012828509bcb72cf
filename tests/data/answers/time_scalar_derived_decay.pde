{ Decay through a scalar its own equation gives: dt(u) = lap u - G, G = INTEGRAL(u) on the
  insulated unit square, u = 1 at the start. u stays uniform: u' = -u, u = G = exp(-t);
  at t = 1 both are exp(-1) = 0.36787944. }
TITLE 'decay through a scalar'
SELECT ERRLIM = 1e-4
VARIABLES u
SCALAR VARIABLES G
INITIAL VALUES u = 1
EQUATIONS
  u: dt(u) = div(grad(u)) - G
  G: INTEGRAL(u) - G = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR t = 0.5 1 SUMMARY EXPORT REPORT G AS 'G' REPORT val(u, 0.5, 0.5) AS 'u'
END
