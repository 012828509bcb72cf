TITLE 'a strip thinner than its spacing, just within the node limit'
SELECT
  REGRID=OFF
  NODELIMIT = 1600
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,0.001) TO (0,0.001) TO FINISH
PLOTS
  SUMMARY PRINT REPORT INTEGRAL(1)
END
