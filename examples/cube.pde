{ Poisson's equation in the unit cube, extruded from the unit square, with the source
  3 pi^2 sin(pi x) sin(pi y) sin(pi z). Known answer: u = sin(pi x) sin(pi y) sin(pi z),
  so u(1/2,1/2,1/2) = 1 and the integral of u is 8/pi^3 = 0.2580122754. }
TITLE 'Sine in the unit cube'
COORDINATES
  CARTESIAN3
VARIABLES
  u
DEFINITIONS
  exact = sin(pi*x)*sin(pi*y)*sin(pi*z)
  centre = VAL(u, 0.5, 0.5, 0.5)
  total = INTEGRAL(u)
EQUATIONS
  div(grad(u)) + 3*pi^2*exact = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  SURFACE 2 VALUE(u)=0
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
