TITLE 'a region whose density squared is past the doubles'
SELECT
  REGRID=OFF
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
  REGION 2
    MESH_DENSITY = 1e308
    START(0.2,0.2) LINE TO (0.4,0.2) TO (0.4,0.4) TO (0.2,0.4) TO FINISH
END
