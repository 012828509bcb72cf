{ Axisymmetric Poisson about the x axis, u = (y^2 + 1)*cos(x), ORDER 2 on a fixed mesh of NGRID 4. }
TITLE 'xcylinder rate'
COORDINATES XCYLINDER('X','Y')
SELECT NGRID = 4  REGRID = OFF  ERRLIM = 1e-8
VARIABLES u
DEFINITIONS ex = (y^2 + 1)*cos(x)
EQUATIONS div(grad(u)) + ((y^2 - 3)*cos(x)) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) NATURAL(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
