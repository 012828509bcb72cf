{ A reaction coefficient near the largest number: the equation's block of the matrix
  overflows while it is scaled, which is reported at that equation's line. }
TITLE 'coefficient out of range'
VARIABLES
  u
DEFINITIONS
  k = 1e308
EQUATIONS
  div(grad(u)) - k*u + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
