{ The wave equation as a first-order pair over one period, its answers read half way and at the end:
  dt(u) = v, dt(v) = div(grad(u)), u = v = 0 on the sides, u = sin(pi x) sin(2 pi y), v = 0 at t = 0.
  Exact: u = cos(w t) sin(pi x) sin(2 pi y), v = -w sin(w t) sin(pi x) sin(2 pi y), w = sqrt(5) pi;
  at (0.5, 0.25): u(0.5) = cos(w/2) = -0.9320324, v(0.5) = 2.5456165, u(1) = 0.7373689,
  v(1) = -4.7451942. Ranges 2 and 2w = 14.05. }
TITLE 'wave as a pair, its phase'
SELECT ERRLIM = 1e-4
VARIABLES u v
INITIAL VALUES u = sin(pi*x)*sin(2*pi*y) v = 0
EQUATIONS
  u: dt(u) = v
  v: dt(v) = div(grad(u))
BOUNDARIES
  REGION 1 START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 0.5 1
    SUMMARY EXPORT REPORT VAL(u, 0.5, 0.25) AS 'u' REPORT VAL(v, 0.5, 0.25) AS 'v'
END
