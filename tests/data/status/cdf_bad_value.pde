{ A netCDF export whose second expression cannot be valued left of x = 0.5: the file
  begun for it is not kept. }
TITLE 'netCDF of a value that fails'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CDF(u, ln(x - 0.5)) POINTS=30 FILE='bad.cdf'
END
