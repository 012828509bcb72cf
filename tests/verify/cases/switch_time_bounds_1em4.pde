{ u' = -5 u, u(0) = 1, on a uniform field: u(1) = exp(-5); the error lies between ERRLIM/10
  and 3 ERRLIM. }
TITLE 'time bounds'
SELECT ERRLIM = 1e-4
VARIABLES u
INITIAL VALUES u = 1
EQUATIONS div(grad(u)) - 5*u = dt(u)
BOUNDARIES REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u'
END
