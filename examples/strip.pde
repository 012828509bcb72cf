{ Nonlinear diffusion across a strip: div((1 + u^2) grad(u)) = 0 with u = 0 at x = 0,
  u = 1 at x = 1 and insulated sides. Known answer: u + u^3/3 = 4x/3, so at x = 1/2 the
  value is the root of u + u^3/3 = 2/3, u = 0.5960716380. }
TITLE 'Nonlinear strip'
VARIABLES
  u
DEFINITIONS
  middle = VAL(u, 0.5, 0.1)
EQUATIONS
  div((1 + u^2)*grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    VALUE(u)=1 LINE TO (1,0.2)
    NATURAL(u)=0 LINE TO (0,0.2)
    VALUE(u)=0 LINE TO FINISH
MONITORS
  CONTOUR(u)
END
