TITLE 'quadratic field on a square'
SELECT ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x^2 - y^2 + x*y + 2*x
EQUATIONS div(grad(u)) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u) PRINT FORMAT '#x #y #z #p #q #1'
  SURFACE(u) PRINT FORMAT '#x #y #z #p #q #1' POINTS=(21,21)
END
