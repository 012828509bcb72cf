{ A square duct periodic along z with a source and a VALUE written on its bottom surface, onto
  which the top maps: the link holds there, as on a periodic side's image in the plane. Exact
  u = sin(pi x) sin(pi y) sin(2 pi z + 0.3): u(0.5,0.5,0) = u(0.5,0.5,1) = sin(0.3) = 0.2955202,
  u(0.5,0.5,0.25) = cos(0.3) = 0.9553365, L2 error 0. }
TITLE 'Periodic extrusion with a source'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3
VARIABLES u
DEFINITIONS ex = sin(pi*x)*sin(pi*y)*sin(2*pi*z + 0.3)
EQUATIONS div(grad(u)) + 6*pi^2*ex = 0
PERIODIC EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT REPORT EVAL(u,0.5,0.5,0) AS 'bottom' REPORT EVAL(u,0.5,0.5,1) AS 'top'
    REPORT EVAL(u,0.5,0.5,0.25) AS 'quarter' REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'L2'
END
