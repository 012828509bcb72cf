{ A potential without a rate beside a diffusing temperature at a fine limit:
  u_t = lap u, lap v + 1 = 0 on the unit square, both 0 on its sides, u(0) = sin(pi x) sin(pi y).
  u(0.5,0.5) = exp(-2 pi^2 t): 0.3727078 at t = 0.05, 0.1389111 at t = 0.1; v(0.5,0.5) = 0.0736713
  at every time (double sine series of lap v = -1). u's range is 1: ERRLIM 1e-5 of it is 1e-5. }
TITLE 'static potential beside heat, fine'
SELECT ERRLIM=1e-5
VARIABLES u v
INITIAL VALUES u = sin(pi*x)*sin(pi*y) v = 0
EQUATIONS
 u: div(grad(u)) = dt(u)
 v: div(grad(v)) + 1 = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS FOR T = 0.05 0.1
 SUMMARY EXPORT REPORT val(v,0.5,0.5) AS 'v' REPORT val(u,0.5,0.5) AS 'u'
END
