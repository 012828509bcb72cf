{ dt(u) = div(grad(u)) on [0,2]x[0,1], insulated, INTEGRAL(u) = 6: u = 3 + exp(-pi^2*t/4)*cos(pi*x/2). }
TITLE 'constraint in time'
VARIABLES u
INITIAL VALUES u = 3 + cos(pi*x/2)
EQUATIONS dt(u) = div(grad(u))
CONSTRAINTS INTEGRAL(u) = 6
BOUNDARIES REGION 1 START(0,0) NATURAL(u)=0 LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.2
    SUMMARY PRINT REPORT VAL(u,0,0.5) AS 'u0' REPORT VAL(u,2,0.5) AS 'u2' REPORT INTEGRAL(u) AS 'int'
END
