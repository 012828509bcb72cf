TITLE 'a spacing far below the side'
SELECT
  REGRID=OFF
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    MESH_SPACING = 1e-12
    START(-0.5,-0.5) VALUE(u)=0 LINE TO (0.5,-0.5) TO (0.5,0.5) TO (-0.5,0.5) TO FINISH

END
