{ Buckling of an axisymmetric solid r < 1, 0 < z < 1 with Navier conditions: lap^2 w + lambda lap w = 0
  with m = -lap w, LAMBDA on a derivative whose weight r stands inside it ((1/r)(r w_r)_r + w_zz).
  Exact: lambda = j0k^2 + (n pi)^2: 15.6527904, 40.3408667, 45.2616036. }
TITLE 'buckling in a cylinder'
COORDINATES YCYLINDER('R','Z')
SELECT MODES = 3 ERRLIM = 1e-4
VARIABLES w, m
EQUATIONS
  w: div(grad(w)) + m = 0
  m: div(grad(m)) - lambda*div(grad(w)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(w)=0 VALUE(m)=0 LINE TO (1,0) TO (1,1) TO (0,1) NATURAL(w)=0 NATURAL(m)=0 LINE TO FINISH
END
