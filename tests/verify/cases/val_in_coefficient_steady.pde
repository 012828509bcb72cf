{ div(k grad(u)) + 1 = 0 on 0<x<1 (insulated sides) with k = 1 + 16 VAL(u,0.5,0.05), u = 0 at
  both ends: u = x(1-x)/(2k), so k = 1 + 2/k: k = 2 and u(0.5) = 1/16. }
TITLE 'val coefficient'
SELECT NGRID = 10  ERRLIM = 1e-5
VARIABLES u
EQUATIONS div((1 + 16*VAL(u,0.5,0.05))*grad(u)) + 1 = 0
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=0 LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1)
    VALUE(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.05) AS 'u' REPORT VAL(u,0.25,0.05) AS 'u2'
END
