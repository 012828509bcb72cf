{ Two regions side by side in x, extruded in two layers; region 2 (1<x<2) has k = 4.
  u = 0 at x = 0, u = 1 at x = 2. The resistances 1 and 1/4 in series give u(1) = 0.8
  at every height: in layer 1 (z = 0.5) and in layer 2 (z = 1.5). }
TITLE 'two regions, two layers'
COORDINATES
  CARTESIAN3
VARIABLES
  u
DEFINITIONS
  k = 1
  low = VAL(u, 1, 0.5, 0.5)
  high = VAL(u, 1, 0.5, 1.5)
EQUATIONS
  div(k*grad(u)) = 0
EXTRUSION
  z = 0, 1, 2
BOUNDARIES
  REGION 1
    START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) VALUE(u) = 0 LINE TO FINISH
  REGION 2
    k = 4
    START(1,0) LINE TO (2,0) VALUE(u) = 1 LINE TO (2,1) NOBC(u) LINE TO (1,1) TO FINISH
END
