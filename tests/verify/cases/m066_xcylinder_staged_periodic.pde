{ coord=XCYLINDER; order=2; sides=straight; regions=1; sheets=none; layers=0; bc=PERIODIC; term=integral_coef; run=staged; report=deriv2.
  u = p*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm066_xcylinder_staged_periodic'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)
  s = -(-22*pi^2*stg*y*(3*y/10 + 1)*cos(pi*(2*x - 1))/5 + 33*stg*cos(pi*(2*x - 1))/100)/y
EQUATIONS div((1 + INTEGRAL(u)/(12.5663706143592*stg)/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10) AS 'uxy'
END
