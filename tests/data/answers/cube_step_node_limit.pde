{ A cube at u = 1 with walls at 0, cooled at a node limit: dt(u) = div(grad(u)). The wall
  layer cannot be resolved within NODELIMIT; at the limit a regrid that would trade only a few
  cells keeps the mesh, so the mesh changes at few of the steps. Exact centre value at
  t = 0.05 (within 2e-3): f(0.5,0.05)^3 = 0.4606570, f(s,t) = sum over odd n of
  4/(n pi) sin(n pi s) exp(-n^2 pi^2 t). }
TITLE 'Cooling cube'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
  NODELIMIT = 10000
VARIABLES
  u
INITIAL VALUES
  u = 1
EQUATIONS
  dt(u) = div(grad(u))
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.05
PLOTS
  FOR T = 0.05
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5, 0.5) AS 'centre'
END
