{ coord=XCYLINDER; order=2; sides=straight; regions=2; sheets=none; layers=0; bc=ANTIPERIODIC; term=integral_coef; run=staged; report=val.
  u = p*(3*y/10 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm135_xcylinder_staged_antiperiodic'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(3*y/10 + 1)*cos(pi*(x - 1/2))
  s = -(-11*pi^2*stg*y*(3*y/10 + 1)*cos(pi*(x - 1/2))/10 + 33*stg*cos(pi*(x - 1/2))/100)/y
EQUATIONS div((1 + (INTEGRAL(u) + 6.28318530717958*stg)/(6.28318530717958*stg)/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = 33*pi^2*stg*y*sin(pi*x)/100 + 11*pi^2*stg*sin(pi*x)/10 - 33*stg*sin(pi*x)/(100*y)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5) AS 'uq'
END
