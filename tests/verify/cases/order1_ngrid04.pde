{ Laplace in the unit square, u = exp(x)*sin(y), ORDER 1 on a fixed mesh of NGRID 4. }
TITLE 'order 1'
SELECT ORDER = 1  NGRID = 4  REGRID = OFF  ERRLIM = 1e-8
VARIABLES u
DEFINITIONS ex = exp(x)*sin(y)
EQUATIONS div(grad(u)) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
