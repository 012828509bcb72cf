{ Modes of a unit square antiperiodic in y (the top side maps onto the bottom with its sign turned),
  u = 0 on x = 0 and x = 1, with CONSTRAINTS INTEGRAL(u) = 0. The modes of zero mean stand:
  sin(pi x) cos(pi y), 2 pi^2 = 19.7392088, and sin(2 pi x) cos(pi y), sin(2 pi x) sin(pi y), 5 pi^2 =
  49.3480220 (twice); the modes sin(i pi x) sin(j pi y), i and j odd, have a mean and mix: the least
  root of sum_ij 1/((i j)^2 (pi^2 (i^2 + j^2) - lambda)) = 0, 83.692790 (the sum to i, j = 1200). }
TITLE 'antiperiodic modes with a constraint'
SELECT MODES = 4 ERRLIM = 1e-3
VARIABLES u
EQUATIONS
  u: div(grad(u)) + lambda*u = 0
CONSTRAINTS
  INTEGRAL(u) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    ANTIPERIODIC(x, y-1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
END
