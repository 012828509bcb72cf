{ A component of the curl of a three-component vector in a plane problem: refused at the report. }
TITLE 'curl of three components in 2D'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 4 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(xcomp(curl(vector(u,u,u))),0.5,0.5) AS 'c'
END
