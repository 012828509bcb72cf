{ coord=SPHERE2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=PERIODIC; term=val; run=fixdt; report=val.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm039_sphere2_fixdt_periodic'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2)
  s = -((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*exp(-t/2)/2 - (-4*pi^2*x^2*(3*y/10 + 1)*exp(-t/2)*sin(y)*cos(pi*(2*x - 1)) - 4*pi*x*(3*y/10 + 1)*exp(-t/2)*sin(y)*sin(pi*(2*x - 1)) + 3*exp(-t/2)*cos(y)*cos(pi*(2*x - 1))/10)/(x^2*sin(y))
EQUATIONS div(grad(u)) + s + (VAL(u,4/5,9/10) - ((927/400 - 127*sqrt(5)/400)*exp(-t/2))) = dt(u)
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5) AS 'uq'
END
