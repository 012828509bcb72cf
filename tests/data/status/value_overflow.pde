{ A boundary value near the largest number: the variable's range scales the matrix past
  the largest number, which is reported at the line of the variable's equation. }
TITLE 'value out of range'
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) VALUE(u)=-1e308 LINE TO (0,1) VALUE(u)=0 LINE TO FINISH
END
