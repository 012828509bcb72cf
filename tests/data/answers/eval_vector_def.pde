TITLE 'eval defs'
VARIABLES
  u
DEFINITIONS
  g = grad(u)
  d2 = del2(u^2)
EQUATIONS
  div(grad(u)) + 0*magnitude(g) + 0*d2 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=x+2*y LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS


  SUMMARY PRINT
    REPORT EVAL(magnitude(g), 0.5, 0.25)
    REPORT EVAL(d2, 0.5, 0.25)
END
