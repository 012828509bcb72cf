{ An end time before the start: refused at the TIME line (8). }
TITLE 'reversed time range'
VARIABLES u
INITIAL VALUES u = sin(pi*x)*sin(pi*y)
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 1 TO 0.5
PLOTS FOR T = 0.7 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
