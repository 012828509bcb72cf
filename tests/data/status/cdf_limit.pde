{ A netCDF file of 301 x 301 values (360 KB): under a lower file-size limit it cannot
  be written whole. }
TITLE 'netCDF under a file-size limit'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CDF(u) POINTS=300 FILE='big.cdf'
END
