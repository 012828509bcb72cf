{ coord=YCYLINDER; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=VALUE; term=definition; run=fixdt; report=deriv1.
  u = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm140_ycylinder_fixdt_value'
COORDINATES YCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  fl = grad(u)
  s = -(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-149*x*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/200 + (y/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2))/x
EQUATIONS div(fl) + s = dt(u)
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -x*y*exp(-t/2)/10 + 99*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/200 - exp(-t/2)/2 - y*exp(-t/2)/(5*x) - exp(-t/2)*cos(7*y/10)*cos(x + 3/10)/(2*x)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10) AS 'uy'
END
