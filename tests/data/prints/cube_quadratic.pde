TITLE 'quadratic field in a box with a sloped top'
COORDINATES CARTESIAN3
SELECT ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x^2 + y^2 - 2*z^2 + x*z
EQUATIONS div(grad(u)) = 0
EXTRUSION
  SURFACE 'bot' z = 0  SURFACE 'top' z = 1 + 0.5*x
BOUNDARIES
  SURFACE 'bot' VALUE(u) = ex
  SURFACE 'top' VALUE(u) = ex
  REGION 1 START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u) ON z=0.5 PRINT FORMAT '#x #y #z #p #q #1' POINTS=(21,21)
  CONTOUR(u) ON 'top' PRINT FORMAT '#x #y #z #p #q #1' POINTS=(21,21)
  CONTOUR(u) ON y=0.5 PRINT FORMAT '#x #y #z #p #q #1' POINTS=(21,21)
  TABLE(u) ON 'top' POINTS=(11,11) FORMAT '#x #y #z #p #q #1'
END
