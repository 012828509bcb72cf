{ u_t = div(grad(u)), periodic in x, u = exp(-5*pi^2*t)*sin(pi*y)*cos(2*pi*x). }
TITLE 'periodic in time'
SELECT ERRLIM = 1e-5  REGRID = OFF  NGRID = 10
VARIABLES u
DEFINITIONS ex = exp(-5*pi^2*t)*sin(pi*y)*cos(2*pi*x)
INITIAL VALUES u = sin(pi*y)*cos(2*pi*x)
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) PERIODIC(x-1,y) LINE TO (1,1) VALUE(u)=0 LINE TO (0,1) NOBC(u) LINE TO FINISH
TIME 0 TO 0.02
PLOTS
  FOR T = 0.02
    SUMMARY PRINT REPORT val(u,0,0.5) AS 'u0' REPORT val(u,0.5,0.5) AS 'uh' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
