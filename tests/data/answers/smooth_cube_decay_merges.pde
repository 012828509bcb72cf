{ A unit cube cooled from the smooth start u = 64 x(1-x) y(1-y) z(1-z) (1 at the centre), held at 0 on
  all six faces, at ERRLIM 1e-3. Exact (triple sine series): u = 64 f(x) f(y) f(z),
  f(s,t) = sum over odd n of 8/(n pi)^3 sin(n pi s) exp(-n^2 pi^2 t): centre 0.2495873 at t = 0.05,
  0.0569100 and u(0.25, 0.5, 0.75) 0.0284566 at t = 0.1. The errors left are the steps': the first
  mesh already holds the start. }
TITLE 'Smooth cube decay'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3
VARIABLES u
INITIAL VALUES u = 64*x*(1-x)*y*(1-y)*z*(1-z)
EQUATIONS dt(u) = div(grad(u))
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS FOR T = 0.1
  SUMMARY EXPORT REPORT val(u, 0.5, 0.5, 0.5) AS 'centre' REPORT val(u, 0.25, 0.5, 0.75) AS 'offc'
END
