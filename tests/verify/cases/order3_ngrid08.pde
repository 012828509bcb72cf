{ Laplace in the unit square, u = exp(x)*sin(y), ORDER 3 on a fixed mesh of NGRID 8. }
TITLE 'order 3'
SELECT ORDER = 3  NGRID = 8  REGRID = OFF  ERRLIM = 1e-8
VARIABLES u
DEFINITIONS ex = exp(x)*sin(y)
EQUATIONS div(grad(u)) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
