{ A surface height past the range the mesh holds: refused at its line, not an overflow
  while the mesh is built. }
TITLE 'surface out of range'
COORDINATES CARTESIAN3
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
EXTRUSION
  SURFACE z = 0
  SURFACE z = 1e308
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
