{ Heat capacity 1 for x < 0.5 and 0 beyond, written with IF, at ERRLIM 1e-5: the mesh is refined while the
  run goes on. Source 1, u = 0 on the sides of the unit square, u(0) = 0. Steady by t = 5:
  u(0.5,0.5) = 0.0736713 (lap u + 1 = 0). }
TITLE 'capacity zero by value, refined'
SELECT ERRLIM=1e-5
VARIABLES u
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) + 1 = (IF x < 0.5 THEN 1 ELSE 0)*dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 5
PLOTS FOR T = 5 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
