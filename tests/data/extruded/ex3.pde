{ The unit cube in layers 'l1' and 'l2', k = 2 in the whole region (a region definition
  reaches every layer), a unit source, u = 0 on the bottom and top: u = z(1-z)/4 and
  u(0.5) = 1/16 = 0.0625. Exact values:
    kall = INTEGRAL(k) = 2, khigh = VAL(k,.5,.5,.9) = 2, klow = VAL(k,.5,.5,.2) = 2,
    umid = 0.0625, kr1l2 = INTEGRAL(k,1,'l2') = 1, r1l1 = INTEGRAL(1,1,'l1') = 0.5 }
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
    k = 2
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
