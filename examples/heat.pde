{ Steady heat flow in the unit square with a unit source and zero boundary values.
  Known answer: the peak temperature at the centre is 0.0736713 (series solution). }
TITLE 'Heat in a square'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
MONITORS
  CONTOUR(u)
END
