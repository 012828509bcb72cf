TITLE 'a spacing that fits every side but fills the square past the node limit'
SELECT
  REGRID=OFF
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    MESH_SPACING = 1e-4
    START(-0.5,-0.5) VALUE(u)=0 LINE TO (0.5,-0.5) TO (0.5,0.5) TO (-0.5,0.5) TO FINISH

END
