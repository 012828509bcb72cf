{ Surface and layer selections on the unit cube: surfaces 'bot' (z = 0), 'mid' (0.5) and
  'top' (1), layers 'low' and 'high', region 1 with the outer path 'outer', region 2
  'inner' (0.25<x,y<0.75). u = z (u = 0 at the bottom, 1 at the top), so the outward
  flux NORMAL(grad(u)) is +1 on a face seen from below and -1 from above. Exact values:
    cube = SINTEGRAL(1) = 6
    r1 = SINTEGRAL(1,1): 0.75 + 0.75 + 4 sides + 2 walls round 'inner' = 7.5
    top = SINTEGRAL(1,'top') = 1, mid = SINTEGRAL(1,'mid') = 1 (each face once)
    midinner = SINTEGRAL(1,'mid','inner') = 0.25
    walls = SINTEGRAL(1,'outer') = 4, wallslow = SINTEGRAL(1,'outer','low') = 2
    r2l2 = SINTEGRAL(1,2,2) = SINTEGRAL(1,'inner','high') = 0.25 + 0.25 + 1 = 1.5
    r2l1 = SINTEGRAL(1,2,1) = 1.5
    r2up = SINTEGRAL(1,'inner','UPPER') = 0.25, r2down = SINTEGRAL(1,'inner','LOWER') = 0.25
    midup = SINTEGRAL(1,'mid','ALL','UPPER') = 1
    topr2 = SINTEGRAL(1,'top',2) = 0.25, midr2high = SINTEGRAL(1,'mid','inner','high') = 0.25
    fmid = SINTEGRAL(NORMAL(grad(u)),'mid') = 1, fmidup = ...'mid','UPPER' = -1,
    fmidhigh = ...'mid','high' = -1, ftop = ...'top' = 1, fall = SINTEGRAL(NORMAL(grad(u))) = 0
    vr2l2 = INTEGRAL(1,2,2) = 0.125, vlow = INTEGRAL(1,0,'low') = 0.5,
    vr2high = INTEGRAL(1,'inner','high') = 0.125 }
TITLE 'selections'
COORDINATES CARTESIAN3
VARIABLES u
DEFINITIONS
  cube = SINTEGRAL(1)  r1 = SINTEGRAL(1,1)  top = SINTEGRAL(1,'top')  mid = SINTEGRAL(1,'mid')
  midinner = SINTEGRAL(1,'mid','inner')  walls = SINTEGRAL(1,'outer')  wallslow = SINTEGRAL(1,'outer','low')
  r2l2 = SINTEGRAL(1,2,2)  r2high = SINTEGRAL(1,'inner','high')  r2l1 = SINTEGRAL(1,2,1)
  r2up = SINTEGRAL(1,'inner','UPPER')  r2down = SINTEGRAL(1,'inner','LOWER')  midup = SINTEGRAL(1,'mid','ALL','UPPER')
  topr2 = SINTEGRAL(1,'top',2)  midr2high = SINTEGRAL(1,'mid','inner','high')
  fmid = SINTEGRAL(NORMAL(grad(u)),'mid')  fmidup = SINTEGRAL(NORMAL(grad(u)),'mid','UPPER')
  fmidhigh = SINTEGRAL(NORMAL(grad(u)),'mid','high')  ftop = SINTEGRAL(NORMAL(grad(u)),'top')
  fall = SINTEGRAL(NORMAL(grad(u)))
  vr2l2 = INTEGRAL(1,2,2)  vlow = INTEGRAL(1,0,'low')  vr2high = INTEGRAL(1,'inner','high')
EQUATIONS div(grad(u)) = 0
EXTRUSION
  SURFACE 'bot' z = 0  LAYER 'low'  SURFACE 'mid' z = 0.5  LAYER 'high'  SURFACE 'top' z = 1
BOUNDARIES
  SURFACE 'bot' VALUE(u) = 0
  SURFACE 'top' VALUE(u) = 1
  REGION 1 START 'outer' (0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
  REGION 'inner' START(0.25,0.25) LINE TO (0.75,0.25) TO (0.75,0.75) TO (0.25,0.75) TO FINISH
END
