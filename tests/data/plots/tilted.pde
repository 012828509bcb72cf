{ A 3D table of the exact field u = x^2 + y^2 - 2*z^2 under a sloping top: its highest
  layer lies wholly above the top and is moved inward, as rows outside are. }
TITLE 'exports of a 3D exact field'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  exact = x^2 + y^2 - 2*z^2
EQUATIONS
  div(grad(u)) = 0
EXTRUSION
  SURFACE 'bottom' z = 0
  SURFACE 'top' z = 1 + 0.2*x + 0.1*y
BOUNDARIES
  SURFACE 'bottom' VALUE(u) = exact
  SURFACE 'top' VALUE(u) = exact
  REGION 1
    START(0,0) VALUE(u) = exact LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  TABLE(u) POINTS = (6, 6, 6)
END
