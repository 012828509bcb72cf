{ Buckling of a simply supported 2 x 1 plate under compression along x (per D): lap^2 w + lambda w_xx = 0,
  written with m = -lap w; the LAMBDA side's second derivatives are integrated by parts as the
  stiffness's are. Exact: lambda = pi^2 (j^2/4 + k^2)^2 / (j^2/4): 39.4784176, 46.3323095, 61.6850275 (twice). }
TITLE 'rectangular plate buckling'
SELECT MODES = 4 ERRLIM = 1e-4
VARIABLES w, m
EQUATIONS
  w: div(grad(w)) + m = 0
  m: div(grad(m)) - lambda*dxx(w) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(w)=0 VALUE(m)=0 LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
END
