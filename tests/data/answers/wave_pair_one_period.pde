{ The wave equation as a first-order pair over one period: dt(u) = v, dt(v) = div(grad(u)),
  u = v = 0 on the sides, u = sin(pi x) sin(2 pi y), v = 0 at t = 0. Exact:
  u = cos(w t) sin(pi x) sin(2 pi y), v = -w sin(w t) sin(pi x) sin(2 pi y), w = sqrt(5) pi;
  at (0.5, 0.25) and t = 1: u = cos(w) = 0.7373689, v = -w sin(w) = -4.7451942. }
TITLE 'wave as a pair, one period'
SELECT ERRLIM = 1e-4
VARIABLES u v
INITIAL VALUES u = sin(pi*x)*sin(2*pi*y) v = 0
EQUATIONS
  u: dt(u) = v
  v: dt(v) = div(grad(u))
BOUNDARIES
  REGION 1 START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS FOR T = 1
  SUMMARY EXPORT REPORT VAL(u, 0.5, 0.25) AS 'u' REPORT VAL(v, 0.5, 0.25) AS 'v'
END
