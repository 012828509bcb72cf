{ Two fields coupled through their zero-order terms on the unit square, both zero on the
  walls. With k^2 = (m^2 + n^2) pi^2 the modes u = v give k^2 + 1 and u = -v give k^2 - 1. }
TITLE 'coupled pair'
SELECT
  MODES = 6
  NGRID = 10
  ORDER = 2
  ERRLIM = 1e-4
VARIABLES
  u
  v
EQUATIONS
  u: div(grad(u)) - v + lambda*u = 0
  v: div(grad(v)) - u + lambda*v = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
