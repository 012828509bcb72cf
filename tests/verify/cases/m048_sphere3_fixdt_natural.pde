{ coord=SPHERE3; order=1; sides=straight; regions=1; sheets=tilted; layers=3; bc=NATURAL; term=dtdef; run=fixdt; report=integral_name.
  u = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm048_sphere3_fixdt_natural'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  s = -(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-x^2*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*x*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)*sin(y) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*exp(-t/2)*cos(y) - 49*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200 + exp(-t/2)/(2*sin(y)))/(x^2*sin(y))
  rate = dt(u)
EQUATIONS div(grad(u)) + s = rate
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 31/120, x/10 + y/20 + 71/120, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 NATURAL(u) = (-(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)/10 + (-x/5 + z/2)*exp(-t/2)/(x^2*sin(y)^2) - (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*exp(-t/2)/(20*x^2))/sqrt(1/100 + 1/(400*x^2) + 1/(x^2*sin(y)^2))
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'outer') AS 'ir'
END
