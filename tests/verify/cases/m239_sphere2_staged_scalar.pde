{ coord=SPHERE2; order=3; sides=straight; regions=1; sheets=none; layers=0; bc=SCALAR; term=plain; run=staged; report=integral_name.
  u = p*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm239_sphere2_staged_scalar'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 3  STAGES = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  s = -(-stg*x^2*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*stg*x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y) + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*cos(y) - 49*stg*sin(y)*sin(x + 3/10)*cos(7*y/10)/200)/(x^2*sin(y))
EQUATIONS
  u: div(grad(u)) + s = 0
  c: c*(8.74442872295477*stg) - INTEGRAL(u) = 0
BOUNDARIES
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*(stg*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'outer') AS 'ir'
END
