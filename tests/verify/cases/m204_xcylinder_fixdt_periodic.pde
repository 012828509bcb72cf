{ coord=XCYLINDER; order=2; sides=straight; regions=2; sheets=none; layers=0; bc=PERIODIC; term=integral; run=fixdt; report=cdf.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm204_xcylinder_fixdt_periodic'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2)
  s = -((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2)/2 - (-4*pi^2*y*(3*y/10 + 1)*exp(-t/2)*cos(pi*(2*x - 1)) + 3*exp(-t/2)*cos(pi*(2*x - 1))/10)/y
EQUATIONS div(grad(u)) + s + (INTEGRAL(u) - (12.5663706143592*exp(-t/2))) = dt(u)
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = -6*pi^2*y*exp(-t/2)*cos(2*pi*x)/5 + 3*y*exp(-t/2)*cos(2*pi*x)/20 - 4*pi^2*exp(-t/2)*cos(2*pi*x) + exp(-t/2)*cos(2*pi*x)/2 - exp(-t/2) + 3*exp(-t/2)*cos(2*pi*x)/(10*y)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  FOR T = 0.2
  CDF(u) POINTS=(5,5)
END
