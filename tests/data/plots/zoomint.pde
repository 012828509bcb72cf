{ Zoomed contours integrate over their windows: u = ex = x^2 + x*y + 2*y^2 + 1 gives 1.5625
  over [0.5,1.5]x[0.25,0.75] and 1.8831615 over [0.33,1.43]x[0.17,0.78]; a window that
  holds the corner [0,1]x[0,0.5] of the domain has area 0.5 in it. }
TITLE 'Zoomed integral'
VARIABLES
  u
DEFINITIONS
  ex = x^2 + x*y + 2*y^2 + 1
EQUATIONS
  div(grad(u)) - 6 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=ex LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u) ZOOM(0.5,0.25,1,0.5)
  CONTOUR(ex) ZOOM(0.33,0.17,1.1,0.61)
  CONTOUR(1) ZOOM(-1,-1,2,1.5)
END
