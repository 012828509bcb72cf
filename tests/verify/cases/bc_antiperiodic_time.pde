{ u_t = div(grad(u)), antiperiodic in x, u = exp(-2*pi^2*t)*sin(pi*y)*cos(pi*x). }
TITLE 'antiperiodic in time'
SELECT ERRLIM = 1e-5  REGRID = OFF  NGRID = 10
VARIABLES u
DEFINITIONS ex = exp(-2*pi^2*t)*sin(pi*y)*cos(pi*x)
INITIAL VALUES u = sin(pi*y)*cos(pi*x)
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) ANTIPERIODIC(x-1,y) LINE TO (1,1) VALUE(u)=0 LINE TO (0,1) NOBC(u) LINE TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR T = 0.1
    SUMMARY PRINT REPORT val(u,0,0.5) AS 'u0' REPORT val(u,1,0.5) AS 'u1' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
