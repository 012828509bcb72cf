{ coord=XCYLINDER; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=PERIODIC; term=coefficient; run=fixdt; report=eval.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm065_xcylinder_fixdt_periodic'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2)
  k = t/2 + x^2/4 + 1
  s = -((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2)/2 - (-pi*x*y*(3*y/10 + 1)*exp(-t/2)*sin(pi*(2*x - 1)) - 4*pi^2*y*(3*y/10 + 1)*(t/2 + x^2/4 + 1)*exp(-t/2)*cos(pi*(2*x - 1)) + 3*(t/2 + x^2/4 + 1)*exp(-t/2)*cos(pi*(2*x - 1))/10)/y
EQUATIONS div(k*grad(u)) + s = dt(u)
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT EVAL(u,4/5,9/10) AS 'ue'
END
