{ A point value that is no number: (-8)^(1/3) at x = 1. }
TITLE 'nan at a point'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(u,0.5,0.5) AS 'centre'
    REPORT VAL((-8)^(x/3),1,0) AS 'nan'
END
