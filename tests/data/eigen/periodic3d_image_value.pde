{ Modes of an extruded box [0,1]x[0,2]x[0,1], periodic in y (the top side maps onto the bottom side,
  whose VALUE was written before the periodic segment: the link holds there, as in the plane),
  u = 0 on x = 0, x = 1, z = 0, z = 1: lambda = pi^2 (m^2 + n^2 + k^2), n even:
  19.7392088, 29.6088132 (twice). }
TITLE 'periodic in y, 3D'
COORDINATES CARTESIAN3
SELECT MODES = 3 ERRLIM = 1e-3
VARIABLES u
EQUATIONS div(grad(u)) + lambda*u = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,2)
    PERIODIC(x, y-2) LINE TO (0,2)
    VALUE(u) = 0 LINE TO FINISH
END
