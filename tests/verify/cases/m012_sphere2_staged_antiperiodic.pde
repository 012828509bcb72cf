{ coord=SPHERE2; order=3; sides=straight; regions=1; sheets=none; layers=0; bc=ANTIPERIODIC; term=table; run=staged; report=transfer.
  u = p*(3*y/10 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm012_sphere2_staged_antiperiodic'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 3  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(3*y/10 + 1)*cos(pi*(x - 1/2))
  k = TABLE('m012_sphere2_staged_antiperiodic_k.txt')
  s = -(-pi^2*stg*x^2*(x/2 + 1)*(3*y/10 + 1)*sin(y)*cos(pi*(x - 1/2)) - pi*stg*x^2*(3*y/10 + 1)*sin(y)*sin(pi*(x - 1/2))/2 - 2*pi*stg*x*(x/2 + 1)*(3*y/10 + 1)*sin(y)*sin(pi*(x - 1/2)) + 3*stg*(x/2 + 1)*cos(y)*cos(pi*(x - 1/2))/10)/(x^2*sin(y))
EQUATIONS div(k*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TRANSFER(u) FILE 'm012_sphere2_staged_antiperiodic.xfr'
END
