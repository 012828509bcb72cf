{ The derivative of a definition inside EVAL: ue = x y^2, so dy(ue) = 2 x y and
  EVAL(dy(ue), 0.5, 0.5) = 0.5 exactly. }
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
  SUMMARY PRINT REPORT EVAL(dy(ue),0.5,0.5)
END
