TITLE 'heat with a source whose time factor two position factors share'
SELECT
  NGRID = 6
  REGRID = OFF
  ORDER = 2
VARIABLES
  u
DEFINITIONS
  ue = exp(-20*t)*sin(pi*x)*sin(pi*y)
  { the same source twice over: sin(pi x) sin(pi y) = (cos(pi (x-y)) - cos(pi (x+y)))/2 }
  f = 2*pi^2*exp(-20*t)*sin(pi*x)*sin(pi*y) - 10*exp(-20*t)*(cos(pi*(x-y)) - cos(pi*(x+y)))
  rel = sqrt(INTEGRAL((u - ue)^2)/INTEGRAL(ue^2))
INITIAL VALUES
  u = sin(pi*x)*sin(pi*y)
EQUATIONS
  div(grad(u)) + f = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR T = 0.1
    SUMMARY EXPORT
      REPORT VAL(u, 0.5, 0.5) AS 'centre'
      REPORT rel AS 'rel'
END
