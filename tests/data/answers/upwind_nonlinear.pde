{ Advection with a velocity that depends on the solution (upwinding on): u = x exactly,
  so u(0.5,0.025) = 0.5 and the largest error on the nodes is 0 up to the Newton
  tolerance (the sources' streamline weight follows the solution). }
TITLE 'nonlinear advection, steady'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
EQUATIONS
  1e-2*div(grad(u)) - (1 + u)*dx(u) + 1 + x = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    NATURAL(u)=1e-2 LINE TO (1,0.05)
    NATURAL(u)=0 LINE TO (0,0.05)
    VALUE(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT EVAL(u,0.5,0.025) REPORT GLOBALMAX(abs(u-x))
END
