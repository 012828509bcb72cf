{ Poisson's equation on the unit disk with a unit source and zero boundary values.
  Known answer: u = (1 - r^2)/4, so u(0,0) = 0.25, the integral of u is pi/8 = 0.3926990817,
  the area is pi and the boundary length 2 pi; along y = 0 the integral of u is 1/3. }
TITLE 'Unit disk'
VARIABLES
  u
DEFINITIONS
  centre = VAL(u, 0, 0)
  total = INTEGRAL(u)
  area = INTEGRAL(1)
  perimeter = BINTEGRAL(1)
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(1,0) VALUE(u)=0 ARC(CENTER=0,0) ANGLE=360 TO FINISH
MONITORS
  CONTOUR(u)
PLOTS
  CONTOUR(u)
  ELEVATION(u) FROM (-1,0) TO (1,0)
  SUMMARY
    REPORT EVAL(u, 0, 0)
    REPORT INTEGRAL(u)
END
