{ Poisson in the unit cube, u = z^2 + exp(x)*sin(y)*cos(z), ORDER 2 on a fixed mesh of NGRID 3. }
TITLE 'cube rate'
COORDINATES CARTESIAN3
SELECT NGRID = 3  REGRID = OFF  ERRLIM = 1e-8
VARIABLES u
DEFINITIONS ex = z^2 + exp(x)*sin(y)*cos(z)
EQUATIONS div(grad(u)) + (exp(x)*sin(y)*cos(z) - 2) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=ex
  SURFACE 2 VALUE(u)=ex
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
