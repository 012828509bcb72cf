{ coord=CYLINDER3; order=1; sides=curved; regions=2; sheets=flat; layers=1; bc=NATURAL; term=dtdef; run=fixdt; report=val.
  u = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm125_cylinder3_fixdt_natural'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  s = -(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-x*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/2 + x*exp(-t/2)/2 + (y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2) - 49*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/(200*x))/x
  rate = dt(u)
EQUATIONS div(grad(u)) + s = rate
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = (-x/5 + z/2)*exp(-t/2)
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = ((2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)*exp(-t/2)/x^2)/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -x*y*exp(-t/2)/10 + x*z*exp(-t/2)/10 - z^2*exp(-t/2)/8 + exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/4 - exp(-t/2) - y*exp(-t/2)/(5*x) + z*exp(-t/2)/(5*x) - exp(-t/2)*cos(7*y/10)*cos(x + 3/10)/(2*x) + 49*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/(200*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5,1/2) AS 'uq'
END
