{ The first mode with DNORMAL(u)=0 on three sides of the unit square, u=0 on y=0: lambda = pi^2/4. }
TITLE 'neumann modes'
SELECT MODES=1
VARIABLES
  u
EQUATIONS
  div(grad(u)) + lambda*u = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) DNORMAL(u)=0 LINE TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT lambda
END
