TITLE 'a spacing that lays a million nodes on a side and fills the square past the node limit'
SELECT
  REGRID=OFF
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    MESH_SPACING = 1e-6
    START(-0.5,-0.5) VALUE(u)=0 LINE TO (0.5,-0.5) TO (0.5,0.5) TO (-0.5,0.5) TO FINISH

END
