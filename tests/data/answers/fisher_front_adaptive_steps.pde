{ The Fisher front of fisher_slab_front_3d in the plane, 0 < x < 40, 0 < y < 2, with the steps and the mesh
  both adapting: u_t = div(grad u) + u (1 - u), held at its exact value at both ends. Exact travelling front
  of speed c = 5/sqrt(6): u = 1/(1 + exp((x - 10 - c t)/sqrt(6)))^2 (put in: u' = -(2/sqrt(6)) u (1 - sqrt(u))
  along the front, and c u' + u'' + u (1 - u) = 0 holds). At t = 6 its centre (u = 1/4) stands at
  x = 10 + 6c = 22.2474487; 'rms' is the RMS error over the strip. }
TITLE 'Fisher front, adaptive steps'
SELECT ERRLIM = 1e-4
VARIABLES u
DEFINITIONS c = 5/sqrt(6) ex = 1/(1 + exp((x - 10 - c*t)/sqrt(6)))^2
INITIAL VALUES u = ex
EQUATIONS dt(u) = div(grad(u)) + u*(1 - u)
BOUNDARIES
REGION 1 START(0,0) NATURAL(u) = 0 LINE TO (40,0) VALUE(u) = ex LINE TO (40,2) NATURAL(u) = 0 LINE TO (0,2)
  VALUE(u) = ex LINE TO FINISH
TIME 0 TO 6
PLOTS FOR T = 6
 SUMMARY EXPORT REPORT val(u, 22.2474487, 1) AS 'centre' REPORT sqrt(integral((u - ex)^2)/integral(1)) AS 'rms'
END
