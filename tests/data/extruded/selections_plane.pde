{ The plane of the selections box: region 1 inside the outer path 'outer' (path 1, the
  unit square), region 'inner' (region 2, path 2: 0.25<x,y<0.75). Exact values:
    around = BINTEGRAL(1,'outer') = BINTEGRAL(1,1) = 4, inside = BINTEGRAL(1,2) = 2,
    inr1 = BINTEGRAL(1,2,1) = 2, sides = SINTEGRAL(1,'outer') = 4,
    a1 = INTEGRAL(1,1) = 0.75, a2 = INTEGRAL(1,'inner') = 0.25 }
TITLE 'selections in the plane'
VARIABLES u
DEFINITIONS
  around = BINTEGRAL(1,'outer')  around1 = BINTEGRAL(1,1)  inside = BINTEGRAL(1,2)
  inr1 = BINTEGRAL(1,2,1)  sides = SINTEGRAL(1,'outer')
  a1 = INTEGRAL(1,1)  a2 = INTEGRAL(1,'inner')
EQUATIONS div(grad(u)) = 0
BOUNDARIES
  REGION 1 START 'outer' (0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
  REGION 'inner' START(0.25,0.25) LINE TO (0.75,0.25) TO (0.75,0.75) TO (0.25,0.75) TO FINISH
END
