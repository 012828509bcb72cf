{ div(grad(u)) + lambda u = 0 on the unit square, u = 0 on three sides and du/dn = lambda u on
  the top. With u = sin(n pi x) g(y): lambda = k coth k, k^2 = n^2 pi^2 - lambda, so
  lambda = 2.7025672, 5.8031456, 8.9380318, 12.0763139 for n = 1..4. }
TITLE 'lambda in a natural condition'
SELECT
  MODES = 4
  NGRID = 10
  ORDER = 2
  ERRLIM = 1e-4
VARIABLES
  u
EQUATIONS
  div(grad(u)) + lambda*u = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) NATURAL(u)=lambda*u LINE TO (0,1) VALUE(u)=0 LINE TO FINISH
END
