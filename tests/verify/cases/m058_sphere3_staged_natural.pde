{ coord=SPHERE3; order=1; sides=straight; regions=1; sheets=curved; layers=1; bc=NATURAL; term=table; run=staged; report=val.
  u = p*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm058_sphere3_staged_natural'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  k = TABLE('m058_sphere3_staged_natural_k.txt')
  s = -(-stg*x^2*(x/2 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + stg*x^2*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y)/2 + 2*stg*x*(x/2 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y) + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(x/2 + 1)*cos(y) - 49*stg*(x/2 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200 + stg*(x/2 + 1)/(2*sin(y)))/(x^2*sin(y))
EQUATIONS div(k*grad(u)) + s = 0
EXTRUSION z = sin(pi*(x - 1/2))/20, sin(pi*(x - 1/2))/20 + 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = (x/2 + 1)*(-pi*stg*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*cos(pi*(x - 1/2))/20 + stg*(-x/5 + z/2)/(x^2*sin(y)^2))/sqrt(pi^2*cos(pi*(x - 1/2))^2/400 + 1/(x^2*sin(y)^2))
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = stg*(x/2 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5,1/2) AS 'uq'
END
