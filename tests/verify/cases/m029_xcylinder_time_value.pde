{ coord=XCYLINDER; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=VALUE; term=definition; run=time; report=transfer.
  u = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm029_xcylinder_time_value'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
INITIAL VALUES u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  fl = grad(u)
  s = -(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-149*y*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/200 + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*exp(-t/2))/y
EQUATIONS div(fl) + s = dt(u)
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  FOR T = 0.2
  TRANSFER(u) FILE 'm029_xcylinder_time_value.xfr'
END
