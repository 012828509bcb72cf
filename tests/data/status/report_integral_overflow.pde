{ A reported integral whose sum over the cells passes the largest number (an area of 4): reported
  at its line. }
TITLE 'report integral overflow'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (2,0) TO (2,2) TO (0,2) TO FINISH
PLOTS
  SUMMARY
    REPORT INTEGRAL(-1e308)
END
