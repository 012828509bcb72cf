{ A summary and a history, each drawn at three plot times with a metafile per drawing. }
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
PLOTS
  FOR T = 0.1 0.2 0.3
    SUMMARY EMF
      REPORT val(u,1,0.5)
HISTORIES
  HISTORY(u) AT (1,0.5) EMF
END
