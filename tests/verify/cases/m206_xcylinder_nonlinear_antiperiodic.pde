{ coord=XCYLINDER; order=2; sides=straight; regions=2; sheets=none; layers=0; bc=ANTIPERIODIC; term=definition; run=nonlinear; report=table.
  u = (3*y/10 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm206_xcylinder_nonlinear_antiperiodic'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(x - 1/2))
  fl = (1 + u^2/10)*grad(u)
  s = -(3*y*(9*y/50 + 3/5)*cos(pi*(x - 1/2))^3/100 + pi^2*y*(3*y/10 + 1)^3*sin(pi*(x - 1/2))^2*cos(pi*(x - 1/2))/5 - pi^2*y*(3*y/10 + 1)*((3*y/10 + 1)^2*cos(pi*(x - 1/2))^2/10 + 1)*cos(pi*(x - 1/2)) + 3*((3*y/10 + 1)^2*cos(pi*(x - 1/2))^2/10 + 1)*cos(pi*(x - 1/2))/10)/y
EQUATIONS div(fl) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = 27*pi^2*y^3*sin(pi*x)^3/10000 - 27*pi^2*y^3*sin(pi*x)*cos(pi*x)^2/5000 + 27*pi^2*y^2*sin(pi*x)^3/1000 - 27*pi^2*y^2*sin(pi*x)*cos(pi*x)^2/500 - 81*y*sin(pi*x)^3/10000 + 9*pi^2*y*sin(pi*x)^3/100 - 9*pi^2*y*sin(pi*x)*cos(pi*x)^2/50 + 3*pi^2*y*sin(pi*x)/10 - 9*sin(pi*x)^3/250 + pi^2*sin(pi*x)^3/10 - pi^2*sin(pi*x)*cos(pi*x)^2/5 + pi^2*sin(pi*x) - 3*sin(pi*x)^3/(100*y) - 3*sin(pi*x)/(10*y)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TABLE(u) POINTS=(3,3)
END
