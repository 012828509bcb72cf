{ A unit point load on the bottom corner of the image side of a box periodic in y (the side y = 1
  maps onto y = 0), u = 0 on x = 0 and x = 1, insulated elsewhere; its twin
  periodic3d_point_load_half is the same box halved at y = 1/2 without the pair, the symmetry planes
  y = 0 and y = 1/2 insulated and half the load on the same node: away from the load the two agree.
  The load's singularity keeps both above the limit (exit 3). }
TITLE 'periodic channel 3D, a point load on the image side'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3 GRIDLIMIT = 4
VARIABLES u
EQUATIONS
  u: div(grad(u)) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (0.5,0) POINT LOAD(u) = 1 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    PERIODIC(x, y-1) LINE TO (0.5,1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0.5, 0.5) AS 'mid'
    REPORT val(u, 0.3, 0.3, 0) AS 'a0'
    REPORT val(u, 0.3, 0.7, 0) AS 'a0i'
    REPORT val(u, 0.3, 0.3, 1) AS 'a1'
    REPORT val(u, 0.5, 0.3, 0.5) AS 'b'
    REPORT val(u, 0.5, 0.7, 0.5) AS 'bi'
    REPORT val(u, 0.5, 0.2, 0.2) AS 'c'
END
