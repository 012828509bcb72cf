{ Two layers of a unit cube, meshed quadratically, the layer surface at z = 0.4; lin and
  quad are exact fields for the plane cuts and paths a test adds to the plots. }
TITLE 'Layered cube'
COORDINATES
  CARTESIAN3
SELECT
  QUADRATIC
VARIABLES
  u
DEFINITIONS
  lin = x + 2*y + 3*z + 1
  quad = x^2 + x*y + 2*y^2 + z^2 - x*z + 1
EQUATIONS
  div(grad(u)) = 0
EXTRUSION
  SURFACE 'bottom' z = 0
    LAYER 'low'
  SURFACE 'middle' z = 0.4
    LAYER 'high'
  SURFACE 'top' z = 1
BOUNDARIES
  SURFACE 'bottom' VALUE(u) = lin
  SURFACE 'top' VALUE(u) = lin
  REGION 1
    START(0,0) VALUE(u) = lin LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
END
