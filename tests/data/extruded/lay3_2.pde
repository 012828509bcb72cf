{ Three layers of unit thickness in series, k = 1, 4, 1 (the middle one a layer
  definition), u = 0 at z = 0 and u = 1 at z = 3. The layer resistances add: 1 + 1/4 + 1
  = 9/4, so u(z=1) = 4/9 = 0.4444444 and u(z=2) = 5/9 = 0.5555556. }
TITLE 'three layers'
COORDINATES
  CARTESIAN3
VARIABLES
  u
DEFINITIONS
  k = 1
  u1 = VAL(u, 0.5, 0.5, 1)
  u2 = VAL(u, 0.5, 0.5, 2)
EQUATIONS
  div(k*grad(u)) = 0
EXTRUSION
  z = 0, 1, 2, 3
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 4 VALUE(u) = 1
  REGION 1
    LAYER 2 k = 4
    START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
