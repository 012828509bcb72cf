{ An error limit near the largest number is as no limit: the first mesh's answer (exact,
  u = x(1-x) + y(1-y)), with nothing scaled by the limit overflowing. }
TITLE 'huge error limit'
SELECT
  ERRLIM = 1e308
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 4 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=x*(1-x)+y*(1-y) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT FILE 'huge_sum.txt'
    REPORT val(u,0.5,0.5)
END
