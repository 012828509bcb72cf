{ Heat in a box [0,1]^3 periodic in y with a scalar unknown G holding the mean: dt(u) = lap u + G,
  INTEGRAL(u) = 1, u = 0 on x = 0 and x = 1, insulated top and bottom, on one grid. Exact: G = 12,
  u = 6 x (1 - x) + sin(pi x) cos(2 pi y) exp(-5 pi^2 t): at t = 0.02 u(0.5,0,0) = u(0.5,1,0) =
  1.8727078, u(0.5,0.5,0) = 1.1272922. }
TITLE 'periodic box, heat with a scalar'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3 NGRID = 6 REGRID = OFF
VARIABLES u
SCALAR VARIABLES G
INITIAL VALUES u = 6*x*(1-x) + sin(pi*x)*cos(2*pi*y)
EQUATIONS
  u: dt(u) = div(grad(u)) + G
  G: INTEGRAL(u) = 1
EXTRUSION z = 0, 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    PERIODIC(x, y-1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
TIME 0 TO 0.02
PLOTS
  FOR t = 0.02 SUMMARY EXPORT REPORT val(u, 0.5, 0, 0) AS 'y0' REPORT val(u, 0.5, 0.5, 0) AS 'y5'
    REPORT val(u, 0.5, 1, 0) AS 'y1' REPORT G AS 'G'
END
