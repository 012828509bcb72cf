TITLE 'wider domain'
VARIABLES
  v
DEFINITIONS
  TRANSFER('transfer_source.dat', w)
EQUATIONS
  div(grad(v)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(v)=0 LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT INTEGRAL(w) AS 'integral'
END
