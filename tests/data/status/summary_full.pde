{ A summary exported to a file on a full disk: the run fails with the system's text. }
TITLE 'Summary on a full disk'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 4 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=1-x^2-y^2 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT FILE = 'sum.txt'
    REPORT val(u, 0.5, 0.5)
  TABLE(u) EXPORT FILE = 'table.txt'
END
