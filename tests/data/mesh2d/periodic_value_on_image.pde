TITLE 'a value condition running on into the image side'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(1,1) VALUE(u)=0 LINE TO (0,1) TO (0,0) TO (1,0) PERIODIC(x-1,y) LINE TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT EVAL(u,0,0.5) REPORT EVAL(u,1,0.5) REPORT EVAL(u,0.5,0.5)
END
