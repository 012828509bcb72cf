{ coord=SPHERE2; order=2; sides=straight; regions=1; sheets=none; layers=0; bc=ANTIPERIODIC; term=coefficient; run=steady; report=deriv2.
  u = (3*y/10 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm076_sphere2_steady_antiperiodic'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(x - 1/2))
  k = x^2/4 + 1
  s = -(-pi*x^3*(3*y/10 + 1)*sin(y)*sin(pi*(x - 1/2))/2 - pi^2*x^2*(x^2/4 + 1)*(3*y/10 + 1)*sin(y)*cos(pi*(x - 1/2)) - 2*pi*x*(x^2/4 + 1)*(3*y/10 + 1)*sin(y)*sin(pi*(x - 1/2)) + 3*(x^2/4 + 1)*cos(y)*cos(pi*(x - 1/2))/10)/(x^2*sin(y))
EQUATIONS div(k*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10) AS 'uxy'
END
