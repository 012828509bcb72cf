{ div(k grad(u)) + 1 = 0 on 0<x<1 (insulated sides) with k = 1 + 240 INTEGRAL(u), u = 0 at
  both ends: u = x(1-x)/(2k) and INTEGRAL(u) = 0.1/(12k), so k = 1 + 2/k: k = 2 (the root
  the start k = 1 leads to). }
TITLE 'integral coefficient'
SELECT NGRID = 10  ERRLIM = 1e-5
VARIABLES u
EQUATIONS div((1 + 240*INTEGRAL(u))*grad(u)) + 1 = 0
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=0 LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1)
    VALUE(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.05) AS 'u' REPORT INTEGRAL(u) AS 'int'
END
