{ A quadratic harmonic field on a disk of curved quadratic cells and on a square of
  straight ones: every printed value is the field at its printed point. }
TITLE 'quadratic field in 2D'
SELECT ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x^2 - y^2 + x*y + 2*x
EQUATIONS div(grad(u)) = 0
BOUNDARIES
  REGION 1 START(1,0) VALUE(u) = ex ARC(CENTER=0,0) ANGLE=360 TO FINISH
PLOTS
  CONTOUR(u) PRINT FORMAT '#x #y #z #p #q #1'
  CONTOUR(u) ZOOM(-0.5,-0.5,1,1) PRINT FORMAT '#x #y #z #p #q #1' POINTS=(31,31)
END
