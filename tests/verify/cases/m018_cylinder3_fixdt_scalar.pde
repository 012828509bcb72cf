{ coord=CYLINDER3; order=3; sides=straight; regions=1; sheets=flat; layers=1; bc=SCALAR; term=dtdef; run=fixdt; report=deriv1.
  u = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm018_cylinder3_fixdt_scalar'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 3  FIXDT  DELTAT = 0.05
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1  c = 1
DEFINITIONS
  ex = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  s = -(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-x*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/2 + x*exp(-t/2)/2 + (y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2) - 49*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/(200*x))/x
  rate = dt(u)
EQUATIONS
  u: div(grad(u)) + s = rate
  c: c*(1.54596411799361*exp(-t/2)) - INTEGRAL(u) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = c*((-x/5 + z/2)*exp(-t/2))
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10,1/2) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10,1/2) AS 'uy'
END
