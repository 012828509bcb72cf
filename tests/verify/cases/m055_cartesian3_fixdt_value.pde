{ coord=CARTESIAN3; order=3; sides=curved; regions=2; sheets=tilted; layers=3; bc=VALUE; term=integral; run=fixdt; report=deriv2.
  u = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm055_cartesian3_fixdt_value'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 3  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  s = -(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 + 0.745*exp(-t/2)*sin(x + 3/10)*cos(7*y/10) - 0.5*exp(-t/2)
EQUATIONS div(grad(u)) + s + (INTEGRAL(u) - (1.19305607299817*exp(-t/2))) = dt(u)
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 31/120, x/10 + y/20 + 71/120, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -x*y*exp(-t/2)/10 + x*z*exp(-t/2)/10 - z^2*exp(-t/2)/8 + 0.495*exp(-t/2)*sin(x + 3/10)*cos(7*y/10) - 1.0*exp(-t/2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10,1/2) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10,1/2) AS 'uxy'
END
