{ Modes of the unit disk with u = 0 on the boundary. Eigenvalues are the squared
  zeros of the Bessel functions: j01^2 = 5.78318596, j11^2 = 14.6819706 (twice),
  j21^2 = 26.3746164 (twice), j02^2 = 30.4712623. }
TITLE 'Modes of the unit disk'
SELECT
  MODES = 6
  NGRID = 20
  ORDER = 2
VARIABLES
  u
EQUATIONS
  div(grad(u)) + lambda*u = 0
BOUNDARIES
  REGION 1
    START(1,0) VALUE(u)=0 ARC(CENTER=0,0) ANGLE=360 TO FINISH
MONITORS
  CONTOUR(u)
END
