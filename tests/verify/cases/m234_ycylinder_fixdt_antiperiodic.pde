{ coord=YCYLINDER; order=2; sides=straight; regions=2; sheets=none; layers=0; bc=ANTIPERIODIC; term=dtdef; run=fixdt; report=bintegral.
  u = (3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm234_ycylinder_fixdt_antiperiodic'
COORDINATES YCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*cos(pi*(x - 1/2))
DEFINITIONS
  ex = (3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
  s = -(3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/2 - (-pi^2*x*(3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2)) - pi*(3*y/10 + 1)*exp(-t/2)*sin(pi*(x - 1/2)))/x
  rate = dt(u)
EQUATIONS div(grad(u)) + s = rate
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = -3*y*exp(-t/2)*sin(pi*x)/20 + 3*pi^2*y*exp(-t/2)*sin(pi*x)/10 - exp(-t/2)*sin(pi*x)/2 + pi^2*exp(-t/2)*sin(pi*x) - 3*pi*y*exp(-t/2)*cos(pi*x)/(10*x) - pi*exp(-t/2)*cos(pi*x)/x
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT BINTEGRAL(u) AS 'ib'
END
