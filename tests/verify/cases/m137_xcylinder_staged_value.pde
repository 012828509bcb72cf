{ coord=XCYLINDER; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=VALUE; term=plain; run=staged; report=bintegral.
  u = p*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm137_xcylinder_staged_value'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  s = -(-149*stg*y*sin(x + 3/10)*cos(7*y/10)/200 + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20))/y
EQUATIONS div(grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -stg*x/(5*y) + 149*stg*sin(x + 3/10)*cos(7*y/10)/200 + 7*stg*sin(7*y/10)*sin(x + 3/10)/(20*y)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT BINTEGRAL(u) AS 'ib'
END
