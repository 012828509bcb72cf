{ dt(u) = 0.01 u'' - u' + s on 0<x<1, u = x + exp(-t)*sin(pi*x). }
TITLE 'upwind in time'
SELECT UPWIND  ERRLIM = 1e-4
VARIABLES u
DEFINITIONS ex = x + exp(-t)*sin(pi*x)
INITIAL VALUES u = x + sin(pi*x)
EQUATIONS 0.01*div(grad(u)) - dx(u) + (1 - exp(-t)*sin(pi*x) + pi^2*exp(-t)*sin(pi*x)/100 + pi*exp(-t)*cos(pi*x)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=ex LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1)
    VALUE(u)=ex LINE TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
    SUMMARY PRINT REPORT VAL(u,0.5,0.05) AS 'u' REPORT sqrt(INTEGRAL((u-ex)^2)/0.1) AS 'l2'
END
