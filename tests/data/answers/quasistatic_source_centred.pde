{ A time run whose one equation has no rate, taken with TCENTER 0.75: lap u + cos(t) = 0, u = 0 on the
  unit square. u = w cos(t), w the solution of lap w + 1 = 0: w(0.5,0.5) = 0.0736713, so
  u(0.5,0.5) = 0.0398040 at t = 1 (cos 1 = 0.5403023). }
TITLE 'quasi-static source, off centre'
SELECT ERRLIM=1e-4 TCENTER=0.75
VARIABLES u
EQUATIONS div(grad(u)) + cos(t) = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS FOR T = 1 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
