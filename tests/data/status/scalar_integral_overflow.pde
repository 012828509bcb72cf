{ A scalar equation whose residual is near the largest number overflows where the
  residual is scaled: reported at the scalar's equation. }
TITLE 'scalar integral at the largest number'
VARIABLES u
SCALAR VARIABLES c
EQUATIONS
  u: div(grad(u)) + c = 0
  c: integral(u) = 1e308
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
