{ The divergence of a three-component vector in a plane problem: refused at the definition. }
TITLE 'three components in 2D'
VARIABLES
  u
DEFINITIONS
  w = div(vector(u,u,u))
EQUATIONS
  div(grad(u)) + 4 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(w,0.5,0.5) AS 'w'
END
