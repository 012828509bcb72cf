{ Heat entering a long slab through its left end: u_t = div(grad(u)) on 0 <= x <= 8,
  0 <= y <= 1, u = 0 at the start, u = 1 at x = 0 and u = 0 at x = 8, insulated above
  and below. Known answer at t = 1 (the half-space solution; the far end changes it by
  less than 1e-8): u(x) = erfc(x/2), so u(0.5) = 0.7236736098, u(1) = 0.4795001222,
  u(2) = 0.1572992071, and the integral of u over the slab is 2/sqrt(pi) = 1.1283791671. }
TITLE 'Heat entering a slab'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
INITIAL VALUES
  u = 0
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (8,0)
    VALUE(u) = 0 LINE TO (8,1)
    NATURAL(u) = 0 LINE TO (0,1)
    VALUE(u) = 1 LINE TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 0.5 1
    ELEVATION(u) FROM (0,0.5) TO (8,0.5)
HISTORIES
  HISTORY(u) AT (0.5,0.5) (1,0.5) (2,0.5)
END
