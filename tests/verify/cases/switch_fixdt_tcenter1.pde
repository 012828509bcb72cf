{ u' = 3 t^2 in fixed steps of 0.1, backward Euler: u(1) = 0.3 * 385/100 = 1.155. }
TITLE 'fixdt tcenter 1'
SELECT FIXDT  DELTAT = 0.1 TCENTER = 1
VARIABLES u
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) + 3*t^2 = dt(u)
BOUNDARIES REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY PRINT REPORT VAL(u,0.3,0.6) AS 'u'
END
