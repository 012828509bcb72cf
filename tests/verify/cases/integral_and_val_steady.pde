{ u = sin(pi x) sin(pi y) solves div(grad(u)) + 2 pi^2 sin(pi x) sin(pi y)
  + (INTEGRAL(u) - 4/pi^2) + (VAL(u,0.5,0.5) - 1) = 0, and it is the only solution. }
TITLE 'integral and val'
SELECT NGRID = 10  ERRLIM = 1e-5
VARIABLES u
EQUATIONS div(grad(u)) + 2*pi^2*sin(pi*x)*sin(pi*y) + (INTEGRAL(u) - 4/pi^2) + (VAL(u,0.5,0.5) - 1) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u' REPORT INTEGRAL(u) AS 'int' REPORT VAL(u,0.25,0.5) AS 'u2'
END
