{ coord=CARTESIAN3; order=2; sides=straight; regions=2; sheets=flat; layers=2; bc=PERIODIC; term=coefficient; run=fixdt; report=deriv1.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm145_cartesian3_fixdt_periodic'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)*exp(-t/2)
  k = t/2 + x^2/4 + 1
  s = 1.0*pi*x*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*sin(pi*(2*x - 1)) + 4*pi^2*(3*y/10 + 1)*(0.5*t + 0.25*x^2 + 1.0)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(2*x - 1)) - ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(0.5*t + 0.25*x^2 + 1.0)*exp(-t/2)/5 - ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)*exp(-t/2)/2
EQUATIONS div(k*grad(u)) + s = dt(u)
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = -0.06*pi^2*t*y*z^2*exp(-t/2)*cos(2*pi*x) - 0.12*pi^2*t*y*z*exp(-t/2)*cos(2*pi*x) - 0.6*pi^2*t*y*exp(-t/2)*cos(2*pi*x) + 0.03*t*y*exp(-t/2)*cos(2*pi*x) - 0.2*pi^2*t*z^2*exp(-t/2)*cos(2*pi*x) - 0.4*pi^2*t*z*exp(-t/2)*cos(2*pi*x) - 2.0*pi^2*t*exp(-t/2)*cos(2*pi*x) + 0.1*t*exp(-t/2)*cos(2*pi*x) - 0.2*t*exp(-t/2) - 0.03*pi^2*x^2*y*z^2*exp(-t/2)*cos(2*pi*x) - 0.06*pi^2*x^2*y*z*exp(-t/2)*cos(2*pi*x) - 0.3*pi^2*x^2*y*exp(-t/2)*cos(2*pi*x) + 0.015*x^2*y*exp(-t/2)*cos(2*pi*x) - 0.1*pi^2*x^2*z^2*exp(-t/2)*cos(2*pi*x) - 0.2*pi^2*x^2*z*exp(-t/2)*cos(2*pi*x) - 1.0*pi^2*x^2*exp(-t/2)*cos(2*pi*x) + 0.05*x^2*exp(-t/2)*cos(2*pi*x) - 0.1*x^2*exp(-t/2) - 0.03*pi*x*y*z^2*exp(-t/2)*sin(2*pi*x) - 0.06*pi*x*y*z*exp(-t/2)*sin(2*pi*x) - 0.3*pi*x*y*exp(-t/2)*sin(2*pi*x) - 0.1*pi*x*z^2*exp(-t/2)*sin(2*pi*x) - 0.2*pi*x*z*exp(-t/2)*sin(2*pi*x) - 1.0*pi*x*exp(-t/2)*sin(2*pi*x) - 0.12*pi^2*y*z^2*exp(-t/2)*cos(2*pi*x) + 3*y*z^2*exp(-t/2)*cos(2*pi*x)/200 - 0.24*pi^2*y*z*exp(-t/2)*cos(2*pi*x) + 3*y*z*exp(-t/2)*cos(2*pi*x)/100 - 1.2*pi^2*y*exp(-t/2)*cos(2*pi*x) + 0.21*y*exp(-t/2)*cos(2*pi*x) - 0.4*pi^2*z^2*exp(-t/2)*cos(2*pi*x) + z^2*exp(-t/2)*cos(2*pi*x)/20 - z^2*exp(-t/2)/10 - 0.8*pi^2*z*exp(-t/2)*cos(2*pi*x) + z*exp(-t/2)*cos(2*pi*x)/10 - z*exp(-t/2)/5 - 4.0*pi^2*exp(-t/2)*cos(2*pi*x) + 0.7*exp(-t/2)*cos(2*pi*x) - 1.4*exp(-t/2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10,1/2) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10,1/2) AS 'uy'
END
