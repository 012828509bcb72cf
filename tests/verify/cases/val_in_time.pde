{ dt(u) = div(grad(u)) - 0.5 VAL(u,0.3,0.6) on the insulated unit square, u(0) = 2: u stays uniform,
  u = 2 exp(-t/2). }
TITLE 'val in time'
SELECT ERRLIM = 1e-5
VARIABLES u
INITIAL VALUES u = 2
EQUATIONS dt(u) = div(grad(u)) - 0.5*VAL(u,0.3,0.6)
BOUNDARIES REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 0.5 1
    SUMMARY PRINT REPORT VAL(u,0.3,0.6) AS 'u' REPORT VAL(u,0.9,0.1) AS 'u2'
END
