{ Poisson's equation on the unit square with the source 2 pi^2 sin(pi x) sin(pi y).
  Known answer: u = sin(pi x) sin(pi y), so u(1/2,1/2) = 1 and the integral of u is
  4/pi^2 = 0.4052847346. }
TITLE 'Sine on the unit square'
VARIABLES
  u
DEFINITIONS
  exact = sin(pi*x)*sin(pi*y)
  centre = VAL(u, 0.5, 0.5)
  total = INTEGRAL(u)
  l2err = sqrt(INTEGRAL((u - exact)^2))
EQUATIONS
  div(grad(u)) + 2*pi^2*exact = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
MONITORS
  CONTOUR(u)
END
