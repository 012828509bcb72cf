{ coord=SPHERE3; order=2; sides=straight; regions=2; sheets=flat; layers=1; bc=PERIODIC; term=coefficient; run=time; report=tecplot.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm153_sphere3_time_periodic'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
INITIAL VALUES u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)*exp(-t/2)
  k = t/2 + x^2/4 + 1
  s = -((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)*exp(-t/2)/2 - (-pi*x^3*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*sin(y)*sin(pi*(2*x - 1)) - 4*pi^2*x^2*(3*y/10 + 1)*(t/2 + x^2/4 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*sin(y)*cos(pi*(2*x - 1)) - 4*pi*x*(3*y/10 + 1)*(t/2 + x^2/4 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*sin(y)*sin(pi*(2*x - 1)) + ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(t/2 + x^2/4 + 1)*exp(-t/2)/(5*sin(y)) + 3*(t/2 + x^2/4 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(y)*cos(pi*(2*x - 1))/10)/(x^2*sin(y))
EQUATIONS div(k*grad(u)) + s = dt(u)
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = -3*pi^2*t*y*z^2*exp(-t/2)*cos(2*pi*x)/50 - 3*pi^2*t*y*z*exp(-t/2)*cos(2*pi*x)/25 - 3*pi^2*t*y*exp(-t/2)*cos(2*pi*x)/5 - pi^2*t*z^2*exp(-t/2)*cos(2*pi*x)/5 - 2*pi^2*t*z*exp(-t/2)*cos(2*pi*x)/5 - 2*pi^2*t*exp(-t/2)*cos(2*pi*x) - 3*pi*t*y*z^2*exp(-t/2)*sin(2*pi*x)/(50*x) - 3*pi*t*y*z*exp(-t/2)*sin(2*pi*x)/(25*x) - 3*pi*t*y*exp(-t/2)*sin(2*pi*x)/(5*x) - pi*t*z^2*exp(-t/2)*sin(2*pi*x)/(5*x) - 2*pi*t*z*exp(-t/2)*sin(2*pi*x)/(5*x) - 2*pi*t*exp(-t/2)*sin(2*pi*x)/x + 3*t*y*exp(-t/2)*cos(2*pi*x)/(100*x^2*sin(y)^2) + 3*t*z^2*exp(-t/2)*cos(y)*cos(2*pi*x)/(200*x^2*sin(y)) + 3*t*z*exp(-t/2)*cos(y)*cos(2*pi*x)/(100*x^2*sin(y)) + 3*t*exp(-t/2)*cos(y)*cos(2*pi*x)/(20*x^2*sin(y)) + t*exp(-t/2)*cos(2*pi*x)/(10*x^2*sin(y)^2) - t*exp(-t/2)/(5*x^2*sin(y)^2) - 3*pi^2*x^2*y*z^2*exp(-t/2)*cos(2*pi*x)/100 - 3*pi^2*x^2*y*z*exp(-t/2)*cos(2*pi*x)/50 - 3*pi^2*x^2*y*exp(-t/2)*cos(2*pi*x)/10 - pi^2*x^2*z^2*exp(-t/2)*cos(2*pi*x)/10 - pi^2*x^2*z*exp(-t/2)*cos(2*pi*x)/5 - pi^2*x^2*exp(-t/2)*cos(2*pi*x) - 3*pi*x*y*z^2*exp(-t/2)*sin(2*pi*x)/50 - 3*pi*x*y*z*exp(-t/2)*sin(2*pi*x)/25 - 3*pi*x*y*exp(-t/2)*sin(2*pi*x)/5 - pi*x*z^2*exp(-t/2)*sin(2*pi*x)/5 - 2*pi*x*z*exp(-t/2)*sin(2*pi*x)/5 - 2*pi*x*exp(-t/2)*sin(2*pi*x) - 3*pi^2*y*z^2*exp(-t/2)*cos(2*pi*x)/25 + 3*y*z^2*exp(-t/2)*cos(2*pi*x)/200 - 6*pi^2*y*z*exp(-t/2)*cos(2*pi*x)/25 + 3*y*z*exp(-t/2)*cos(2*pi*x)/100 - 6*pi^2*y*exp(-t/2)*cos(2*pi*x)/5 + 3*y*exp(-t/2)*cos(2*pi*x)/20 + 3*y*exp(-t/2)*cos(2*pi*x)/(200*sin(y)^2) - 2*pi^2*z^2*exp(-t/2)*cos(2*pi*x)/5 + z^2*exp(-t/2)*cos(2*pi*x)/20 - z^2*exp(-t/2)/10 + 3*z^2*exp(-t/2)*cos(y)*cos(2*pi*x)/(400*sin(y)) - 4*pi^2*z*exp(-t/2)*cos(2*pi*x)/5 + z*exp(-t/2)*cos(2*pi*x)/10 - z*exp(-t/2)/5 + 3*z*exp(-t/2)*cos(y)*cos(2*pi*x)/(200*sin(y)) - 4*pi^2*exp(-t/2)*cos(2*pi*x) + exp(-t/2)*cos(2*pi*x)/2 - exp(-t/2) + 3*exp(-t/2)*cos(y)*cos(2*pi*x)/(40*sin(y)) + exp(-t/2)*cos(2*pi*x)/(20*sin(y)^2) - exp(-t/2)/(10*sin(y)^2) - 3*pi*y*z^2*exp(-t/2)*sin(2*pi*x)/(25*x) - 6*pi*y*z*exp(-t/2)*sin(2*pi*x)/(25*x) - 6*pi*y*exp(-t/2)*sin(2*pi*x)/(5*x) - 2*pi*z^2*exp(-t/2)*sin(2*pi*x)/(5*x) - 4*pi*z*exp(-t/2)*sin(2*pi*x)/(5*x) - 4*pi*exp(-t/2)*sin(2*pi*x)/x + 3*y*exp(-t/2)*cos(2*pi*x)/(50*x^2*sin(y)^2) + 3*z^2*exp(-t/2)*cos(y)*cos(2*pi*x)/(100*x^2*sin(y)) + 3*z*exp(-t/2)*cos(y)*cos(2*pi*x)/(50*x^2*sin(y)) + 3*exp(-t/2)*cos(y)*cos(2*pi*x)/(10*x^2*sin(y)) + exp(-t/2)*cos(2*pi*x)/(5*x^2*sin(y)^2) - 2*exp(-t/2)/(5*x^2*sin(y)^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  FOR T = 0.2
  TECPLOT(u)
END
