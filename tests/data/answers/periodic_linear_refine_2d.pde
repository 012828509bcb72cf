{ Periodic in x, linear cells refined to ERRLIM 1e-4: splits across the periodic sides follow
  one another within a refinement pass. Exact u = sin(2 pi x + 0.3) sin(pi y), held at 0 on
  y = 0 and 1: u(0,0.5) = u(1,0.5) = sin(0.3) = 0.2955202, u(0.25,0.5) = cos(0.3) = 0.9553365,
  L2 error 0 (to 2 ERRLIM |u| in values, 3 ERRLIM in the L2 error). }
TITLE 'Periodic in x, linear cells, 2D'
SELECT ERRLIM = 1e-4  ORDER = 1
VARIABLES u
DEFINITIONS ex = sin(2*pi*x + 0.3)*sin(pi*y)
EQUATIONS div(grad(u)) + 5*pi^2*ex = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) PERIODIC(x-1,y) LINE TO (1,1) VALUE(u)=0 LINE TO (0,1) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0,0.5) AS 'left' REPORT VAL(u,1,0.5) AS 'right' REPORT VAL(u,0.25,0.5) AS 'quarter'
    REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'L2'
END
