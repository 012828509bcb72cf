{ coord=CARTESIAN2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=VALUE; term=table; run=steady; report=tecplot.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm105_cartesian2_steady_value'
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = TABLE('m105_cartesian2_steady_value_k.txt')
  s = -0.1*y + 149*(0.5*x + 1.0)*sin(x + 3/10)*cos(7*y/10)/200 - 0.25*cos(7*y/10)*cos(x + 3/10)
EQUATIONS div(k*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TECPLOT(u)
END
