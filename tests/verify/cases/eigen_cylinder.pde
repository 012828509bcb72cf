{ Modes of the cylinder r<1, 0<z<1 about the y axis, u = 0 on its outer side and ends:
  lambda = j0k^2 + (n pi)^2. }
TITLE 'cylinder modes'
COORDINATES YCYLINDER('X','Y')
SELECT MODES = 3  ERRLIM = 1e-4
VARIABLES u
EQUATIONS div(grad(u)) + lambda*u = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) NATURAL(u)=0 LINE TO FINISH
END
