{ Steady heat flow in the unit square with a unit source and zero boundary values.
  Known answer: the peak temperature at the centre is 0.0736713 (series solution).
  The summary's EXPORT writes the reported values to heat.p03 (the third PLOTS entry). }
TITLE 'Heat in a square'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
MONITORS
  CONTOUR(u)
PLOTS
  CONTOUR(u) PAINTED
  ELEVATION(u) FROM (0,0.5) TO (1,0.5)
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0.5) AS 'centre'
    REPORT integral(u)
END
