{ A netCDF monitor and a netCDF plot of the exact field u = x^2 + x*y + 2*y^2 + 1 + 6*t,
  each in its own file read back whole. }
TITLE 'Quadratic in time'
VARIABLES
  u
DEFINITIONS
  ex = x^2 + x*y + 2*y^2 + 1 + 6*t
INITIAL VALUES
  u = ex
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=ex LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
TIME 0 TO 0.3
MONITORS
  FOR CYCLE=5
  CDF(u) POINTS=(2,2)
  TABLE(u) POINTS=(2,2)
PLOTS
  FOR T = 0 0.1 0.1 0.25
    CDF(u) POINTS=(3,2)
    CONTOUR(u) PRINT MERGE POINTS=(2,2)
    SUMMARY EXPORT MERGE
      REPORT val(u,1,0.5)
END
