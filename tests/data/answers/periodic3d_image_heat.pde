{ Heat in an extruded box [0,1]x[0,2]x[0,1], periodic in y (the top side maps onto the bottom side,
  whose VALUE was written before the periodic segment: the link holds there), u = 0 on the other
  walls. Exact: u = sin(pi x) sin(pi z) (exp(-2 pi^2 t) + 0.5 cos(pi y) exp(-3 pi^2 t)): at t = 0.05
  u(0.5,0,0.5) = 0.4864765, u(0.5,1,0.5) = 0.2589391. }
TITLE 'periodic in y, 3D heat'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3
VARIABLES u
INITIAL VALUES u = sin(pi*x)*sin(pi*z)*(1 + 0.5*cos(pi*y))
EQUATIONS dt(u) = div(grad(u))
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,2)
    PERIODIC(x, y-2) LINE TO (0,2)
    VALUE(u) = 0 LINE TO FINISH
TIME 0 TO 0.05
PLOTS
  FOR t = 0.05 SUMMARY EXPORT REPORT val(u, 0.5, 0, 0.5) AS 'y0' REPORT val(u, 0.5, 1, 0.5) AS 'y1'
END
