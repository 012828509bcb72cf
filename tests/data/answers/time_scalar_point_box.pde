{ Heat in a box [0,1]^3 periodic in y with a uniform source G held by the value at one
  point: dt(u) = lap u + G, u(0.5,0.25,0.5) = 1.5, u = 0 on x = 0 and x = 1, insulated top
  and bottom, on one grid. The start 6 x (1 - x) + sin(pi x) cos(2 pi y) holds it, and its
  cosine mode, zero at y = 0.25, decays on its own: u = 6 x (1 - x) + sin(pi x) cos(2 pi y)
  exp(-5 pi^2 t), G = 12 at every time. At t = 0.02 u(0.5,0,0) = 1.8727078. }
TITLE 'periodic box, heat with a source held by a point value'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3 NGRID = 6 REGRID = OFF
VARIABLES u
SCALAR VARIABLES G
INITIAL VALUES u = 6*x*(1-x) + sin(pi*x)*cos(2*pi*y)
EQUATIONS
  u: dt(u) = div(grad(u)) + G
  G: val(u, 0.5, 0.25, 0.5) = 1.5
EXTRUSION z = 0, 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    PERIODIC(x, y-1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
TIME 0 TO 0.02
PLOTS
  FOR t = 0.02 SUMMARY EXPORT REPORT G AS 'G' REPORT val(u, 0.5, 0, 0) AS 'y0'
END
