{ Acoustic modes of the unit square, every side insulated, held to zero mean by a scalar
  unknown G (a multiplier): lap u + lambda u + G = 0, INTEGRAL(u) = 0. The constant mode is
  gone and every other mode has zero mean with G = 0: pi^2 (twice), 2 pi^2, 4 pi^2 (twice). }
TITLE 'insulated square, mean held by a scalar'
SELECT
  MODES = 4
  ERRLIM = 1e-4
VARIABLES
  u
SCALAR VARIABLES
  G
EQUATIONS
  u: div(grad(u)) + lambda*u + G = 0
  G: INTEGRAL(u) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
