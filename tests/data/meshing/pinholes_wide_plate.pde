TITLE 'Two pinholes a thousandth wide, far apart in a plate 600 wide'
{ The plate's area less the holes' is 360000 - 2e-6; the front's size classes reach
  from the holes' spacing to the plate's, each spread between the two holes. }
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(-300,-300) VALUE(u) = 0 LINE TO (300,-300) TO (300,300) TO (-300,300) TO FINISH
    START(0,0) VALUE(u) = 1 LINE TO (0,0.001) TO (0.001,0.001) TO (0.001,0) TO FINISH
    START(90,90) VALUE(u) = 1 LINE TO (90,90.001) TO (90.001,90.001) TO (90.001,90) TO FINISH
PLOTS
  SUMMARY PRINT REPORT INTEGRAL(1)
END
