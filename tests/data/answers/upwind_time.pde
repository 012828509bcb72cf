{ A linear state travelling with unit speed, upwinding on (the default): u = x - t
  exactly, so at t = 0.5 u(0.5,0.025) = 0, u(0.9,0.025) = 0.4 and the largest error on
  the nodes is 0 (the streamline terms of the time derivative cancel those of the
  operator). }
TITLE 'exact linear travelling state, source free'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
INITIAL VALUES
  u = x
EQUATIONS
  1e-3*div(grad(u)) - dx(u) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    NATURAL(u)=1e-3 LINE TO (1,0.05)
    NATURAL(u)=0 LINE TO (0,0.05)
    VALUE(u)=-t LINE TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
  SUMMARY PRINT REPORT EVAL(u,0.5,0.025) REPORT EVAL(u,0.9,0.025) REPORT GLOBALMAX(abs(u-x+t))
END
