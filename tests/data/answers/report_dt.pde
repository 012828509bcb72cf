TITLE 'heat decay'
SELECT ERRLIM=1e-4
VARIABLES
  u
DEFINITIONS
  ex = exp(-2*pi^2*t)*sin(pi*x)*sin(pi*y)
INITIAL VALUES
  u = sin(pi*x)*sin(pi*y)
EQUATIONS
  dt(u) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR t = 0.1
  SUMMARY PRINT
    REPORT VAL(u,0.5,0.5) AS 'u'
    REPORT VAL(ex,0.5,0.5) AS 'exact'
    REPORT VAL(dt(u),0.5,0.5) AS 'dt(u)'
    REPORT VAL(-2*pi^2*ex,0.5,0.5) AS 'dt exact'
    REPORT integral(dt(u)) AS 'integral dt'
    REPORT t AS 'time'
END
