{ antiperiodic in x on the unit square, u = sin(pi*y)*cos(pi*x). }
TITLE 'antiperiodic'
SELECT NGRID = 10  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = sin(pi*y)*cos(pi*x)
EQUATIONS div(grad(u)) + (2*pi^2*sin(pi*y)*cos(pi*x)) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) ANTIPERIODIC(x-1,y) LINE TO (1,1) VALUE(u)=0 LINE TO (0,1) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0,0.5) AS 'u0' REPORT VAL(u,1,0.5) AS 'u1' REPORT VAL(u,0.25,0.5) AS 'uq'
    REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
