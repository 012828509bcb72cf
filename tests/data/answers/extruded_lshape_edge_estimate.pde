{ The L-shaped section (-1,1)^2 less its fourth quadrant extruded over z in 0..1 in four layers:
  its re-entrant edge runs along the z axis. The exact answer u = r^(2/3) sin(2 th/3) cos(pi z/2),
  th the angle from the positive x axis, has its gradient infinite along the edge; it is held on
  the outer walls and the top, zero on the two re-entrant walls, and is level (natural 0) on the
  bottom; its range is 2^(1/3). Reported: the RMS error over the volume against the answer,
  relative to its range, which the log's last RMS ERR reads within a factor of three. }
TITLE 'Extruded L-shape estimate against its error'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  r = sqrt(x^2 + y^2)
  th = atan2(y, x)
  ex = r^(2/3)*sin(2*th/3)
  exz = ex*cos(pi*z/2)
EQUATIONS
  div(grad(u)) + (pi/2)^2*exz = 0
EXTRUSION
  z = 0, 0.25, 0.5, 0.75, 1
BOUNDARIES
  SURFACE 1 NATURAL(u) = 0
  SURFACE 5 VALUE(u) = exz
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) VALUE(u) = exz LINE TO (1,1) TO (-1,1) TO (-1,-1) TO (0,-1)
      VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-exz)^2)/INTEGRAL(1))/2^(1/3) AS 'rms'
END
