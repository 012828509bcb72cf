TITLE 'sum under a derivative'
VARIABLES
  u
DEFINITIONS
  g = sum(i, 1, 3, i*x^2)
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=x+2*y LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(dx(g), 0.3, 0.6)
END
