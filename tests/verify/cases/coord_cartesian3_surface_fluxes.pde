{ Poisson in the unit cube, u = x*y + x*sin(z) + z^2, du/dn given on z = 0 and du/dn = g - 2u on z = 1. }
TITLE 'surface fluxes'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-4
VARIABLES u
DEFINITIONS ex = x*y + x*sin(z) + z^2
EQUATIONS div(grad(u)) + (x*sin(z) - 2) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 NATURAL(u) = -x
  SURFACE 2 NATURAL(u) = 2*x*y + x*cos(1) + 2*x*sin(1) + 4 - 2*u
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5,0) AS 'u0' REPORT VAL(u,0.5,0.5,1) AS 'u1' REPORT INTEGRAL(u) AS 'int'
END
