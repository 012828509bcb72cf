{ A plot window past what the drawing holds (coordinates past 1e38) overflows as it
  is drawn: reported at the plot's line. }
TITLE 'plot past the single range'
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u) ZOOM(0,0,1e39,1e39)
END
