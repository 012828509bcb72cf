{ An INTEGRAL whose region number names no region: region 3 does not exist, so the run
  stops with the located error "Can't Find Region 3" (INTEGRAL(1,1) = 1 and
  INTEGRAL(1,2) = 0.5 are fine). }
TITLE 'empty selection'
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
  REGION 2 START(0,0) LINE TO (0.5,0) TO (0.5,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT INTEGRAL(1) REPORT INTEGRAL(1,1) REPORT INTEGRAL(1,2) REPORT INTEGRAL(1,3)
END
