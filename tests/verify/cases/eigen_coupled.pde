{ A coupled pair on the unit square: u + v has the modes pi^2 (m^2+n^2), u - v those plus 2. }
TITLE 'coupled modes'
SELECT MODES = 4  ERRLIM = 1e-4
VARIABLES u v
EQUATIONS
  u: div(grad(u)) - (u - v) + lambda*u = 0
  v: div(grad(v)) - (v - u) + lambda*v = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
