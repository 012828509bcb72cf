{ coord=CARTESIAN2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=ANTIPERIODIC; term=coefficient; run=steady; report=bintegral.
  u = (3*y/10 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm098_cartesian2_steady_antiperiodic'
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(x - 1/2))
  k = x^2/4 + 1
  s = 0.5*pi*x*(3*y/10 + 1)*sin(pi*(x - 1/2)) + pi^2*(0.25*x^2 + 1.0)*(3*y/10 + 1)*cos(pi*(x - 1/2))
EQUATIONS div(k*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT BINTEGRAL(u) AS 'ib'
END
