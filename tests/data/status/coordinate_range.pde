{ A corner at y = 1e308: refused where it is written, not an overflow in the mesher. }
TITLE 'coordinate out of range'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1e308) TO (0,1) TO FINISH
END
