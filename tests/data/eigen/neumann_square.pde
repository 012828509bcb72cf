{ Acoustic modes of the unit square, every side insulated: (m^2 + n^2) pi^2 for m, n >= 0,
  so 0, pi^2 (twice), 2 pi^2, 4 pi^2 (twice). The stiffness is singular. }
TITLE 'insulated square'
SELECT
  MODES = 6
  ERRLIM = 1e-4
VARIABLES
  u
EQUATIONS
  div(grad(u)) + lambda*u = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
