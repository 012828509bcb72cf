{ A division by zero at run time. }
TITLE 'runtime divide'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 4 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(1/(x-0.5), 0.5, 0.5) AS 'd'
END
