{ Buckling of a simply supported unit square plate written in flux form, LAMBDA inside the
  divergence: div(grad(m) - lambda vector(dx(w), 0)) = 0 with m = -lap w, linear in the variables and
  in LAMBDA. Exact: lambda = pi^2 (j^2 + k^2)^2 / j^2: 39.4784176, 61.6850275, 109.662271. }
TITLE 'buckling, lambda in the flux'
SELECT MODES = 3 ERRLIM = 1e-4
VARIABLES w, m
EQUATIONS
  w: div(grad(w)) + m = 0
  m: div(grad(m) - lambda*vector(dx(w), 0)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(w)=0 VALUE(m)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
