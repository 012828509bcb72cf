{ A time run whose one equation has no rate, lap u + sin(t) = 0 on the unit square with u = 0 on its
  sides: u = w sin(t), w the solution of lap w + 1 = 0, w(0.5,0.5) = 0.0736713, so u(0.5,0.5) = 0.0619923
  at t = 1. The field grows from zero; its mesh refines as the steady field's does at the same ERRLIM. }
TITLE 'quasi-static source refined in time'
SELECT ERRLIM = 1e-5
VARIABLES u
EQUATIONS div(grad(u)) + sin(t) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS FOR T = 1
  SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
