{ u'' = -1 in the unit square with no flux anywhere: the net source has nowhere to go. }
TITLE 'no solution'
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
BOUNDARIES REGION 1 START(0,0) NATURAL(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT val(u,0,0) AS 'u'
END
