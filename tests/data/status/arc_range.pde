{ An arc about a centre 1e300 from its start: refused where it is written, not an
  overflow in its construction. }
TITLE 'arc out of range'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(1e300,0) VALUE(u)=0 ARC(CENTER=1,0) ANGLE=180
    LINE TO FINISH
END
