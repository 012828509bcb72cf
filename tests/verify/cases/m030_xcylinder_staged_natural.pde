{ coord=XCYLINDER; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=NATURAL; term=coefficient; run=staged; report=deriv1.
  u = p*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm030_xcylinder_staged_natural'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  k = x^2/4 + 1
  s = -(stg*x*y*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)/2 - 149*stg*y*(x^2/4 + 1)*sin(x + 3/10)*cos(7*y/10)/200 + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(x^2/4 + 1))/y
EQUATIONS div(k*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = stg*(x^2/4 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10) AS 'uy'
END
