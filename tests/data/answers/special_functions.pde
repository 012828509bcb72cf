TITLE 'special functions'
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT erf(0) AS 'erf0'
    REPORT erf(1e-5) AS 'erf small'
    REPORT erfc(5) AS 'erfc5'
    REPORT erf(-0.5) AS 'erf half'
    REPORT gammaf(0, 1) AS 'E1'
    REPORT gammaf(3, 1) AS 'gamma3'
    REPORT 1e-301/1e-301 AS 'tiny quotient'
    REPORT VAL(gammaf(2, x) - gammaf(3, x), 1, 0.5) AS 'orders apart'
    REPORT gammaf(2.5, 1) AS 'real order'
    REPORT VAL(gammaf(0.5, 1+x), 0.5, 0.5) AS 'half order'
END
