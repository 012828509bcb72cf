{ The twin of periodic3d_point_load_image without the periodic pair. }
TITLE 'half a periodic box, half the load on its symmetry plane'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3 GRIDLIMIT = 4
VARIABLES u
EQUATIONS
  u: div(grad(u)) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (0.5,0) POINT LOAD(u) = 0.5 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,0.5)
    NATURAL(u) = 0 LINE TO (0,0.5)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0.5, 0.5) AS 'mid'
    REPORT val(u, 0.3, 0.3, 0) AS 'a0'
    REPORT val(u, 0.3, 0.3, 1) AS 'a1'
    REPORT val(u, 0.5, 0.3, 0.5) AS 'b'
    REPORT val(u, 0.5, 0.2, 0.2) AS 'c'
END
