{ A quadratic harmonic field in a cylinder of curved quadratic cells: prints on a
  horizontal cut, on the top surface and on a vertical cut through the curved wall. }
TITLE 'quadratic field in a cylinder'
COORDINATES CARTESIAN3
SELECT ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x^2 + y^2 - 2*z^2 + x*z
EQUATIONS div(grad(u)) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 1 START(1,0) VALUE(u) = ex ARC(CENTER=0,0) ANGLE=360 TO FINISH
PLOTS
  CONTOUR(u) ON z=0.5 PRINT FORMAT '#x #y #z #p #q #1' POINTS=(21,21)
  CONTOUR(u) ON SURFACE 2 PRINT FORMAT '#x #y #z #p #q #1' POINTS=(21,21)
  CONTOUR(u) ON x=0.3 PRINT FORMAT '#x #y #z #p #q #1' POINTS=(21,21)
  TABLE(u) ON z=0.5 POINTS=(21,21) FORMAT '#x #y #z #p #q #1'
END
