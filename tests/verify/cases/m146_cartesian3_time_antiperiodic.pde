{ coord=CARTESIAN3; order=2; sides=straight; regions=2; sheets=flat; layers=1; bc=ANTIPERIODIC; term=plain; run=time; report=deriv2.
  u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm146_cartesian3_time_antiperiodic'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2))
DEFINITIONS
  ex = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
  s = -(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/2 + 1.0*pi^2*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2)) - 0.2*(3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
EQUATIONS div(grad(u)) + s = dt(u)
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = -3*y*z^2*exp(-t/2)*sin(pi*x)/200 + 0.03*pi^2*y*z^2*exp(-t/2)*sin(pi*x) - 3*y*z*exp(-t/2)*sin(pi*x)/100 + 0.06*pi^2*y*z*exp(-t/2)*sin(pi*x) - 0.21*y*exp(-t/2)*sin(pi*x) + 0.3*pi^2*y*exp(-t/2)*sin(pi*x) - z^2*exp(-t/2)*sin(pi*x)/20 + 0.1*pi^2*z^2*exp(-t/2)*sin(pi*x) - z*exp(-t/2)*sin(pi*x)/10 + 0.2*pi^2*z*exp(-t/2)*sin(pi*x) - 0.7*exp(-t/2)*sin(pi*x) + 1.0*pi^2*exp(-t/2)*sin(pi*x)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10,1/2) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10,1/2) AS 'uxy'
END
