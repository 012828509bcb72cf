{ A CDF export on a cut plane of a 3D problem cannot be written: the reader warns at
  the CDF line and the run goes on to its end, writing no CDF file. The summary holds
  the centre value of -div(grad(u)) = 1 in the unit cube with u = 0 on its faces:
  0.0562127 (the Fourier series). }
TITLE 'CDF on a cut'
COORDINATES CARTESIAN3
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  SURFACE 2 VALUE(u)=0
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CDF(u) ON y = 0.5 POINTS=(5,5)
  SUMMARY PRINT REPORT VAL(u,0.5,0.5,0.5)
END
