{ A source near the largest number in the second equation: the squares of its residual
  overflow, which is reported at that equation's line. }
TITLE 'source out of range'
VARIABLES
  u v
EQUATIONS
  u: div(grad(u)) + 1 = 0
  v: div(grad(v)) + 1e250 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
