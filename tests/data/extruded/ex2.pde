{ The unit cube in layers 'l1' (z < 0.5, k = 1) and 'l2' (z > 0.5, k = 2 by a layer
  definition), a unit source, u = 0 on the bottom and top. In z: (k u')' = -1 gives the
  flux k u' = 5/12 - z and u(0.5) = 1/12 = 0.0833333. Exact values:
    kall = INTEGRAL(k) = 1.5, khigh = VAL(k,.5,.5,.9) = 2, klow = VAL(k,.5,.5,.2) = 1,
    umid = 1/12 = 0.0833333, kr1l2 = INTEGRAL(k,1,'l2') = 1, r1l1 = INTEGRAL(1,1,'l1') = 0.5 }
TITLE 'extrusion layers'
COORDINATES
  CARTESIAN3
VARIABLES
  u
DEFINITIONS
  k = 1
  kall = integral(k)  khigh = val(k,0.5,0.5,0.9)  klow = val(k,0.5,0.5,0.2)  umid = val(u,0.5,0.5,0.5)
  kr1l2 = integral(k, 1, 'l2')  r1l1 = integral(1,1,'l1')
EQUATIONS
  div(k*grad(u)) + 1 = 0
EXTRUSION
  SURFACE 'bot' z = 0
  LAYER 'l1'
  SURFACE 'mid' z = 0.5
  LAYER 'l2'
  SURFACE 'top' z = 1
BOUNDARIES
  SURFACE 'bot' VALUE(u) = 0
  SURFACE 'top' VALUE(u) = 0
  REGION 1
    LAYER 'l2' k = 2
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
