{ div(k grad(u)) = 0 on the unit square with k = 1 for x < 0.5 and 4 beyond, u = 0 at x = 0
  and 1 at x = 1: the flux is 1/(0.5/1 + 0.5/4) = 1.6 and u(0.5) = 0.8. }
TITLE 'regions'
VARIABLES u
DEFINITIONS k = 1
EQUATIONS div(k*grad(u)) = 0
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=1 LINE TO (1,1) NATURAL(u)=0 LINE TO (0,1)
    VALUE(u)=0 LINE TO FINISH
  REGION 2 k = 4 START(0.5,0) LINE TO (1,0) TO (1,1) TO (0.5,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u' REPORT VAL(u,0.25,0.3) AS 'u2'
    REPORT BINTEGRAL(NORMAL(k*grad(u)),1) AS 'net' REPORT INTEGRAL(u,1) AS 'int1' REPORT INTEGRAL(u,2) AS 'int2'
END
