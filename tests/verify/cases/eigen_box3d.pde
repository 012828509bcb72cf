{ Modes of the box 1 x 1 x 0.5 with u = 0 on its faces: lambda = pi^2 (a^2 + b^2 + 4 c^2). }
TITLE 'box modes 3d'
COORDINATES CARTESIAN3
SELECT MODES = 3  ERRLIM = 1e-3
VARIABLES u
EQUATIONS div(grad(u)) + lambda*u = 0
EXTRUSION z = 0, 0.5
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  SURFACE 2 VALUE(u)=0
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
