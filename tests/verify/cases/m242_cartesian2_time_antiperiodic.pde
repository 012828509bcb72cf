{ coord=CARTESIAN2; order=3; sides=straight; regions=1; sheets=none; layers=0; bc=ANTIPERIODIC; term=integral_coef; run=time; report=integral_name.
  u = (3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm242_cartesian2_time_antiperiodic'
SELECT ERRLIM = 0.0001  ORDER = 3
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*cos(pi*(x - 1/2))
DEFINITIONS
  ex = (3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
  s = -(3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/2 + 1.1*pi^2*(3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
EQUATIONS div((1 + (INTEGRAL(u) + 1.0*exp(-t/2))/(1.0*exp(-t/2))/10)*grad(u)) + s = dt(u)
BOUNDARIES
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'outer') AS 'ir'
END
