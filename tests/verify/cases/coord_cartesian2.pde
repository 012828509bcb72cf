{ Poisson in the unit square, u = x*y^2 + exp(x)*sin(y). }
TITLE 'cartesian2'
SELECT NGRID = 8  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = x*y^2 + exp(x)*sin(y)
EQUATIONS div(grad(u)) + (-2*x) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.3,0.7) AS 'u' REPORT INTEGRAL(u) AS 'int' REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
