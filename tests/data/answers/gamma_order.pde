TITLE 'incomplete gamma order'
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT gammaf(2.5, 1)
    REPORT gammaf(0.5, 1+x)
END
