{ A unit square extruded from z = 0 through z = 0.5 to z = 1 + 0.2x (volume 1.1);
  k = 2 in layer 'l2' of region 1; region 2 (0.3<x,y<0.7, area 0.16) is void in layer 'l1'.
  Exact values:
    all       = INTEGRAL(1)            = 1.1 - 0.16*0.5          = 1.02
    r1        = INTEGRAL(1,1)          = 0.84*1.1                = 0.924
    r2        = INTEGRAL(1,2)          = 0.16*0.6 (layer 'l2')   = 0.096
    kall      = INTEGRAL(k)            = 0.42 + 2*0.504 + 0.096  = 1.524
    surf      = SINTEGRAL(1)           = 0.84 + sqrt(1.04) + 1 + 1.2 + 2.2 + 0.8 + 0.16 = 7.2198039
    r1l2      = INTEGRAL(1,1,'l2')     = 0.84*0.6                = 0.504
    r2l2      = INTEGRAL(1,2,'l2')     = 0.096
    kr1l2     = INTEGRAL(k,1,'l2')     = 2*0.504                 = 1.008
    l2        = INTEGRAL(1,0,'l2')     = 0.6
    khigh     = VAL(k,0.1,0.1,0.9)     = 2
    klow      = VAL(k,0.1,0.1,0.2)     = 1 }
TITLE 'extrusion'
COORDINATES
  CARTESIAN3
VARIABLES
  u
DEFINITIONS
  k = 1
  zt = 1 + 0.2*x
  all = integral(1)  r1 = integral(1,1)  r2 = integral(1,2)  kall = integral(k)  surf = sintegral(1)
  r1l2 = integral(1,1,'l2')  r2l2 = integral(1,2,'l2')  kr1l2 = integral(k,1,'l2')  l2 = integral(1,0,'l2')
  khigh = val(k,0.1,0.1,0.9)  klow = val(k,0.1,0.1,0.2)
EQUATIONS
  div(k*grad(u)) + 1 = 0
EXTRUSION
  SURFACE 'bot' z = 0
  LAYER 'l1'
  SURFACE 'mid' z = 0.5
  LAYER 'l2'
  SURFACE 'top' z = zt
BOUNDARIES
  SURFACE 'bot' VALUE(u) = 0
  SURFACE 'top' VALUE(u) = 0
  REGION 1
    LAYER 'l2' k = 2
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
  REGION 2
    LAYER 'l1' VOID
    START(0.3,0.3) LINE TO (0.7,0.3) TO (0.7,0.7) TO (0.3,0.7) TO FINISH
END
