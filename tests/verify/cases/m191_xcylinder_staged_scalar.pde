{ coord=XCYLINDER; order=1; sides=curved; regions=2; sheets=none; layers=0; bc=SCALAR; term=integral_coef; run=staged; report=transfer.
  u = p*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm191_xcylinder_staged_scalar'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1  STAGES = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  s = -(-1639*stg*y*sin(x + 3/10)*cos(7*y/10)/2000 + 11*stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)/10)/y
EQUATIONS
  u: div((1 + INTEGRAL(u)/(6.91740642533958*stg)/10)*grad(u)) + s = 0
  c: c*(6.91740642533958*stg) - INTEGRAL(u) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((11*stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/10 + 11*stg*(2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)/10)/sqrt((2*x - 1)^2 + (2*y - 1)^2)) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -11*stg*x/(50*y) + 1639*stg*sin(x + 3/10)*cos(7*y/10)/2000 + 77*stg*sin(7*y/10)*sin(x + 3/10)/(200*y)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TRANSFER(u) FILE 'm191_xcylinder_staged_scalar.xfr'
END
