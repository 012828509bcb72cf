{ A boundary value near the largest number beside a second variable: the squares of the
  scaled matrix overflow, reported at the line of the equation of the value's variable. }
TITLE 'value out of range beside another variable'
VARIABLES
  u
  s
EQUATIONS
  u: div(grad(u)) + s = 0
  s: s = 2
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=1e308 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
