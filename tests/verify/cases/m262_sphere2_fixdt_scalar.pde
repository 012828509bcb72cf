{ coord=SPHERE2; order=1; sides=curved; regions=2; sheets=none; layers=0; bc=SCALAR; term=integral_coef; run=fixdt; report=transfer.
  u = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm262_sphere2_fixdt_scalar'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1  FIXDT  DELTAT = 0.05
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1  c = 1
DEFINITIONS
  ex = (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  s = -(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-11*x^2*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/20 + 11*x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)*sin(y)/5 + 11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*exp(-t/2)*cos(y)/10 - 539*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2000)/(x^2*sin(y))
EQUATIONS
  u: div((1 + INTEGRAL(u)/(5.31834664411175*exp(-t/2))/10)*grad(u)) + s = dt(u)
  c: c*(5.31834664411175*exp(-t/2)) - INTEGRAL(u) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((11*(2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)/10 + 11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)*exp(-t/2)/(10*x^2))/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2)) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -x*y*exp(-t/2)/10 + 3*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/10 - exp(-t/2)/2 - 11*y*exp(-t/2)/(25*x) - 11*exp(-t/2)*cos(7*y/10)*cos(x + 3/10)/(10*x) - 11*exp(-t/2)*cos(y)/(50*x*sin(y)) + 77*exp(-t/2)*sin(7*y/10)*sin(x + 3/10)*cos(y)/(200*x^2*sin(y)) + 539*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/(2000*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  FOR T = 0.2
  TRANSFER(u) FILE 'm262_sphere2_fixdt_scalar.xfr'
END
