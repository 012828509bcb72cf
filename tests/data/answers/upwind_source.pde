{ Advection with a constant source and a linear exact solution, upwinding on (the
  default): u = 1 + x exactly, so u(0.5,0.025) = 1.5, u(0.9,0.025) = 1.9 and the largest
  error on the nodes is 0 (the streamline terms of the source cancel those of the
  operator). }
TITLE 'constant state under advection'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
EQUATIONS
  1e-3*div(grad(u)) - dx(u) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    NATURAL(u)=1e-3 LINE TO (1,0.05)
    NATURAL(u)=0 LINE TO (0,0.05)
    VALUE(u)=1 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT EVAL(u,0.5,0.025) REPORT EVAL(u,0.9,0.025) REPORT GLOBALMAX(abs(u-1-x))
END
