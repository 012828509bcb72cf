{ The print of region 2 samples its box widened by 0.001 on each side: the columns just
  outside on the left and on the right carry the field u = x^2 + x*y + 2*y^2 + 1 alike. }
TITLE 'Region print'
VARIABLES
  u
DEFINITIONS
  ex = x^2 + x*y + 2*y^2 + 1
EQUATIONS
  div(grad(u)) - 6 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=ex LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
  REGION 2
    START(0.5,0.25) LINE TO (1,0.25) TO (1,0.75) TO (0.5,0.75) TO FINISH
PLOTS
  CONTOUR(u) ON REGION 2 PRINT POINTS=(6,3)
END
