{ coord=SPHERE2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=ANTIPERIODIC; term=integral_coef; run=time; report=tecplot.
  u = (3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm261_sphere2_time_antiperiodic'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*cos(pi*(x - 1/2))
DEFINITIONS
  ex = (3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
  s = -(3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/2 - (-11*pi^2*x^2*(3*y/10 + 1)*exp(-t/2)*sin(y)*cos(pi*(x - 1/2))/10 - 11*pi*x*(3*y/10 + 1)*exp(-t/2)*sin(y)*sin(pi*(x - 1/2))/5 + 33*exp(-t/2)*cos(y)*cos(pi*(x - 1/2))/100)/(x^2*sin(y))
EQUATIONS div((1 + INTEGRAL(u)/(-2.70454372737884*exp(-t/2))/10)*grad(u)) + s = dt(u)
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  FOR T = 0.2
  TECPLOT(u)
END
