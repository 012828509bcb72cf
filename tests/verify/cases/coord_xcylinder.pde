{ Axisymmetric Poisson about the x axis on 0<x<1, 0<r<1, u = (y^2 + 1)*cos(x); volume integrals carry 2 pi r.
  The end x = 0 is insulated (du/dx = 0 there), the axis takes the exact values. }
TITLE 'xcylinder'
COORDINATES XCYLINDER('X','Y')
SELECT NGRID = 8  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = (y^2 + 1)*cos(x)
EQUATIONS div(grad(u)) + ((y^2 - 3)*cos(x)) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) NATURAL(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u' REPORT INTEGRAL(u) AS 'int' REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
