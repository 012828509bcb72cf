{ A Fisher front u_t = div(grad u) + u (1 - u) through an extruded slab 0 < x < 40, 0 < y < 2, 0 < z < 1,
  held at its exact value at both ends, with fixed steps (so that the mesh's error is what is left).
  Exact travelling front of speed c = 5/sqrt(6): u = 1/(1 + exp((x - 10 - c t)/sqrt(6)))^2. At t = 6 its
  centre (u = 1/4) stands at x = 10 + 6c; 'rms' is the RMS error over the slab, 'maxerr' the largest. }
TITLE 'Fisher front in a slab'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3 FIXDT DELTAT = 0.02
VARIABLES u
DEFINITIONS c = 5/sqrt(6) ex = 1/(1 + exp((x - 10 - c*t)/sqrt(6)))^2
INITIAL VALUES u = ex
EQUATIONS dt(u) = div(grad(u)) + u*(1 - u)
EXTRUSION z = 0, 1
BOUNDARIES
REGION 1 START(0,0) NATURAL(u) = 0 LINE TO (40,0) VALUE(u) = ex LINE TO (40,2) NATURAL(u) = 0 LINE TO (0,2)
  VALUE(u) = ex LINE TO FINISH
TIME 0 TO 6
PLOTS FOR T = 6
 SUMMARY EXPORT REPORT val(u, 22.2474487, 1, 0.5) AS 'centre' REPORT sqrt(integral((u - ex)^2)/integral(1)) AS 'rms'
  REPORT globalmax(abs(u - ex)) AS 'maxerr'
END
