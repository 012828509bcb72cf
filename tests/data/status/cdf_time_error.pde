{ A time run whose source cannot be valued past t = 0.35 fails after three netCDF
  outputs: the file holds those records, whole. }
TITLE 'netCDF of a failing time run'
VARIABLES
  u
DEFINITIONS
  s = ln(0.35 - t)
EQUATIONS
  div(grad(u)) + s = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 0.1 BY 0.1 TO 1
    CDF(u) POINTS=20 FILE='runs.cdf'
END
