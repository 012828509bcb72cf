{ dc/dt = -c, c(0) = 1 beside an insulated field with du/dt = -u + c, u(0) = 0:
  c = exp(-t), u = t exp(-t). }
TITLE 'scalar time'
SELECT REGRID = OFF  ERRLIM = 1e-5
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES u = 0  c = 1
EQUATIONS
  u: div(grad(u)) - u + c = dt(u)
  c: dt(c) + c = 0
BOUNDARIES REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 0.5 1
    SUMMARY PRINT REPORT c AS 'c' REPORT VAL(u,0.5,0.5) AS 'u'
END
