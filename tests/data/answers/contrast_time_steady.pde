{ time run to the steady state of a square with k = 1e6 in its middle: steady centre 0.0523909 (a second code, P2 on a fine mesh) }
TITLE 'contrast in time'
SELECT ERRLIM=1e-4
VARIABLES u
DEFINITIONS k = 1
INITIAL VALUES u = 0.05*sin(pi*x)*sin(pi*y)
EQUATIONS div(k*grad(u)) + 1 = dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
REGION 2 k = 1e6 START(0.25,0.25) LINE TO (0.75,0.25) TO (0.75,0.75) TO (0.25,0.75) TO FINISH
TIME 0 TO 10
PLOTS FOR T = 10
 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'centre' REPORT val(u,0.1,0.5) AS 'side' REPORT integral(u) AS 'int'
END
