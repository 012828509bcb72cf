{ A unit cube at u = 1 cooled from t = 0 by its six faces held at 0 (a jump at the faces), on a
  coarse first mesh at ERRLIM 1e-2. Exact (triple sine series): u = f(x) f(y) f(z),
  f(s,t) = sum over odd n of 4/(n pi) sin(n pi s) exp(-n^2 pi^2 t): at t = 0.1 the centre 0.1068253,
  u(0.25, 0.5, 0.75) 0.0534392 and the volume integral 0.0275759. The start's refinement crowds
  the faces; once the layer has spread its small cells merge again. }
TITLE 'Cube cooled from a jump'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-2 NGRID = 5
VARIABLES u
INITIAL VALUES u = 1
EQUATIONS dt(u) = div(grad(u))
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS FOR T = 0.1
  SUMMARY EXPORT REPORT val(u, 0.5, 0.5, 0.5) AS 'centre' REPORT val(u, 0.25, 0.5, 0.75) AS 'offc'
    REPORT integral(u) AS 'total'
END
