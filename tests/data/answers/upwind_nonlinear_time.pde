{ A travelling linear state under a velocity that depends on the solution (upwinding
  on): u = x - t exactly, so at t = 0.5 u(0.5,0.025) = 0. The sources' streamline weight
  is taken at the start of each step, so the error is of the order of the step's change
  of the weight (below 1e-4 here) rather than zero. }
TITLE 'nonlinear advection, travelling'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
INITIAL VALUES
  u = x
EQUATIONS
  1e-3*div(grad(u)) - (1 + u)*dx(u) + x - t = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    NATURAL(u)=1e-3 LINE TO (1,0.05)
    NATURAL(u)=0 LINE TO (0,0.05)
    VALUE(u)=-t LINE TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
  SUMMARY PRINT REPORT EVAL(u,0.5,0.025) REPORT GLOBALMAX(abs(u-x+t))
END
