{ coord=CARTESIAN2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=SCALAR; term=integral_coef; run=steady; report=transfer.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm103_cartesian2_steady_scalar'
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = 0.8195*sin(x + 3/10)*cos(7*y/10)
EQUATIONS
  u: div((1 + INTEGRAL(u)/(1.54615260840080)/10)*grad(u)) + s = 0
  c: c*(1.54615260840080) - INTEGRAL(u) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*(11*y/50 + 11*cos(7*y/10)*cos(x + 3/10)/20) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TRANSFER(u) FILE 'm103_cartesian2_steady_scalar.xfr'
END
