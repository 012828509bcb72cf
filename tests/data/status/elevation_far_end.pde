{ An elevation whose far end lies 1e300 away: its length and its ends on the grid are
  taken without overflowing, and the plot draws the part of the path inside the square. }
TITLE 'elevation far end'
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  ELEVATION(u) FROM (0.5,0) TO (0.5,1e300)
END
