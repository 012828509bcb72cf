{ coord=SPHERE3; order=2; sides=straight; regions=2; sheets=flat; layers=3; bc=ANTIPERIODIC; term=dtdef; run=fixdt; report=integral_number.
  u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm154_sphere3_fixdt_antiperiodic'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2))
DEFINITIONS
  ex = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
  s = -(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/2 - (-pi^2*x^2*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*sin(y)*cos(pi*(x - 1/2)) - 2*pi*x*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*sin(y)*sin(pi*(x - 1/2)) + (3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/(5*sin(y)) + 3*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(y)*cos(pi*(x - 1/2))/10)/(x^2*sin(y))
  rate = dt(u)
EQUATIONS div(grad(u)) + s = rate
EXTRUSION z = 0, 1/3, 2/3, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = -3*y*z^2*exp(-t/2)*sin(pi*x)/200 + 3*pi^2*y*z^2*exp(-t/2)*sin(pi*x)/100 - 3*y*z*exp(-t/2)*sin(pi*x)/100 + 3*pi^2*y*z*exp(-t/2)*sin(pi*x)/50 - 3*y*exp(-t/2)*sin(pi*x)/20 + 3*pi^2*y*exp(-t/2)*sin(pi*x)/10 - z^2*exp(-t/2)*sin(pi*x)/20 + pi^2*z^2*exp(-t/2)*sin(pi*x)/10 - z*exp(-t/2)*sin(pi*x)/10 + pi^2*z*exp(-t/2)*sin(pi*x)/5 - exp(-t/2)*sin(pi*x)/2 + pi^2*exp(-t/2)*sin(pi*x) - 3*pi*y*z^2*exp(-t/2)*cos(pi*x)/(50*x) - 3*pi*y*z*exp(-t/2)*cos(pi*x)/(25*x) - 3*pi*y*exp(-t/2)*cos(pi*x)/(5*x) - pi*z^2*exp(-t/2)*cos(pi*x)/(5*x) - 2*pi*z*exp(-t/2)*cos(pi*x)/(5*x) - 2*pi*exp(-t/2)*cos(pi*x)/x - 3*y*exp(-t/2)*sin(pi*x)/(50*x^2*sin(y)^2) - 3*z^2*exp(-t/2)*sin(pi*x)*cos(y)/(100*x^2*sin(y)) - 3*z*exp(-t/2)*sin(pi*x)*cos(y)/(50*x^2*sin(y)) - 3*exp(-t/2)*sin(pi*x)*cos(y)/(10*x^2*sin(y)) - exp(-t/2)*sin(pi*x)/(5*x^2*sin(y)^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,2) AS 'ir'
END
