{ Poisson in the unit cube extruded through z = 0, 0.4, 1, u = x*y + x*sin(z) + z^2. }
TITLE 'two layers'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-4
VARIABLES u
DEFINITIONS ex = x*y + x*sin(z) + z^2
EQUATIONS div(grad(u)) + (x*sin(z) - 2) = 0
EXTRUSION z = 0, 0.4, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=ex
  SURFACE 3 VALUE(u)=ex
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5,0.4) AS 'u' REPORT VAL(u,0.3,0.6,0.7) AS 'u2' REPORT INTEGRAL(u) AS 'int'
END
