{ In the insulated unit cube div(grad(u)) + 3 pi^2 cos(pi x) cos(pi y) cos(pi z) + c = 0 with
  INTEGRAL(u) = 2 and the scalar equation c = 0.5 - INTEGRAL(u)/4: c = 0 and
  u = cos(pi x) cos(pi y) cos(pi z) + 2. }
TITLE 'scalar and constraint in 3d'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-4 NGRID = 14
VARIABLES u
SCALAR VARIABLES c
EQUATIONS
  u: div(grad(u)) + 3*pi^2*cos(pi*x)*cos(pi*y)*cos(pi*z) + c = 0
  c: c - 0.5 + INTEGRAL(u)/4 = 0
CONSTRAINTS INTEGRAL(u) = 2
EXTRUSION z = 0, 1
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT c AS 'c' REPORT VAL(u,0,0,0) AS 'u' REPORT VAL(u,0.5,0.5,0.25) AS 'u2' REPORT INTEGRAL(u) AS 'int'
END
