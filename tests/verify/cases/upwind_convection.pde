{ 0.05 u'' - u' = 0 on 0<x<1, u(0) = 0, u(1) = 1: u = (1 - exp(20 x))/(1 - exp(20)). }
TITLE 'upwind'
SELECT UPWIND  ERRLIM = 1e-4
VARIABLES u
DEFINITIONS ex = (1 - exp(20*x))/(1 - exp(20))
EQUATIONS 0.05*div(grad(u)) - dx(u) = 0
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=1 LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1)
    VALUE(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.9,0.05) AS 'u' REPORT VAL(u,0.5,0.05) AS 'u2'
    REPORT sqrt(INTEGRAL((u-ex)^2)/0.1) AS 'l2'
END
