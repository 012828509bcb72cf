{ A plot expression that cannot be differentiated: the run ends with one located error
  "Can't Differentiate Function" at line 14 and exit code 1. }
TITLE 'min'
VARIABLES
  u
DEFINITIONS
  ue = x*y^2
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT INTEGRAL(dx(random(x)))
END
