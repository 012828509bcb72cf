{ Three fields on the unit square, all zero on the walls: u and v coupled both ways with
  unequal weights (a nonsymmetric matrix), w reading v alone. The coupling is block
  triangular, so the eigenvalues are those of the (u, v) pair, k^2 -+ sqrt(2 * 0.5), and
  of w alone, k^2, with k^2 = (m^2 + n^2) pi^2. }
TITLE 'nonsymmetric triple'
SELECT
  MODES = 6
  ERRLIM = 1e-4
VARIABLES
  u
  v
  w
EQUATIONS
  u: div(grad(u)) + 2*v + lambda*u = 0
  v: div(grad(v)) + 0.5*u + lambda*v = 0
  w: div(grad(w)) + 3*v + lambda*w = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 VALUE(v)=0 VALUE(w)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
