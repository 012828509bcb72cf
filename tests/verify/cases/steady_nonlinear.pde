{ div((1+u^2) grad(u)) + s = 0 in the unit square, u = x*y + sin(x)*cos(y). }
TITLE 'nonlinear'
SELECT NGRID = 8  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = x*y + sin(x)*cos(y)
EQUATIONS div((1+u^2)*grad(u)) + (-(x - sin(x)*sin(y))*(2*x - 2*sin(x)*sin(y))*(x*y + sin(x)*cos(y)) - (y + cos(x)*cos(y))*(2*y + 2*cos(x)*cos(y))*(x*y + sin(x)*cos(y)) + 2*((x*y + sin(x)*cos(y))^2 + 1)*sin(x)*cos(y)) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u' REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
