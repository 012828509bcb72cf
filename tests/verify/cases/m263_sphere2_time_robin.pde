{ coord=SPHERE2; order=3; sides=straight; regions=1; sheets=none; layers=0; bc=ROBIN; term=integral_coef; run=time; report=val.
  u = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm263_sphere2_time_robin'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 3
VARIABLES u
INITIAL VALUES u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  s = -(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-11*x^2*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/20 + 11*x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)*sin(y)/5 + 11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*exp(-t/2)*cos(y)/10 - 539*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2000)/(x^2*sin(y))
EQUATIONS div((1 + INTEGRAL(u)/(8.74442872295477*exp(-t/2))/10)*grad(u)) + s = dt(u)
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = 11*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)/10 + 2*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2) - 2*u LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5) AS 'uq'
END
