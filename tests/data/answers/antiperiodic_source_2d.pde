{ Antiperiodic in x with a source: exact u = cos(pi x) sin(pi y), so u(0,0.5) = 1,
  u(1,0.5) = -1 and the L2 error is 0. }
TITLE 'Antiperiodic in x, 2D'
SELECT NGRID = 10  REGRID = OFF
VARIABLES u
DEFINITIONS ex = cos(pi*x)*sin(pi*y)
EQUATIONS div(grad(u)) + 2*pi^2*ex = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) ANTIPERIODIC(x-1,y) LINE TO (1,1) VALUE(u)=0 LINE TO (0,1) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0,0.5) REPORT VAL(u,1,0.5) REPORT sqrt(INTEGRAL((u-ex)^2))
END
