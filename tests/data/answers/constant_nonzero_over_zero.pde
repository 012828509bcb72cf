{ A constant nonzero over zero is refused where it is written. }
TITLE 'two over zero'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 4 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT 2/(1-1) AS 'z'
END
