{ A constant 0/0 folds to 0, as 0/0 evaluates to 0 at run time; 2/0 stays refused (see
  recip_zero_def). }
TITLE 'zero over zero'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 4 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT 0/0 AS 'z'
    REPORT (1-1)/(2-2) + 3 AS 'z3'
    REPORT VAL((x-0.5)/(y-0.5), 0.5, 0.5) AS 'zr'
END
