{ coord=YCYLINDER; order=3; sides=curved; regions=2; sheets=none; layers=0; bc=SCALAR; term=coefficient; run=steady; report=deriv2.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm175_ycylinder_steady_scalar'
COORDINATES YCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 3
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = x^2/4 + 1
  s = -(x^2*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)/2 - 149*x*(x^2/4 + 1)*sin(x + 3/10)*cos(7*y/10)/200 + (x^2/4 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2))/x
EQUATIONS
  u: div(k*grad(u)) + s = 0
  c: c*(7.05580976942693) - INTEGRAL(u) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((x^2/4 + 1)*((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2))/sqrt((2*x - 1)^2 + (2*y - 1)^2)) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = 149*x^2*sin(x + 3/10)*cos(7*y/10)/800 - 3*x*y/20 - 3*x*cos(7*y/10)*cos(x + 3/10)/8 + 149*sin(x + 3/10)*cos(7*y/10)/200 - y/(5*x) - cos(7*y/10)*cos(x + 3/10)/(2*x)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10) AS 'uxy'
END
