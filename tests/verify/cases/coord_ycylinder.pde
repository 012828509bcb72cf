{ Axisymmetric Poisson about the y axis on 0<r<1, 0<y<1, u = (x^2 + 1)*exp(-y). }
TITLE 'ycylinder'
COORDINATES YCYLINDER('X','Y')
SELECT NGRID = 8  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = (x^2 + 1)*exp(-y)
EQUATIONS div(grad(u)) + ((-x^2 - 5)*exp(-y)) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) NATURAL(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u' REPORT INTEGRAL(u) AS 'int' REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
