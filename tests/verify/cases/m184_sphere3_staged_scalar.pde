{ coord=SPHERE3; order=2; sides=curved; regions=2; sheets=flat; layers=1; bc=SCALAR; term=definition; run=staged; report=integral_name.
  u = p*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm184_sphere3_staged_scalar'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2  STAGES = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  fl = grad(u)
  s = -(-stg*x^2*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*stg*x*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y) + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*cos(y) - 49*stg*sin(y)*sin(x + 3/10)*cos(7*y/10)/200 + stg/(2*sin(y)))/(x^2*sin(y))
EQUATIONS
  u: div(fl) + s = 0
  c: c*(0.834607438367851*stg) - INTEGRAL(u) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = c*(stg*(-x/5 + z/2)/(x^2*sqrt(1/(x^2*sin(y)^2))*sin(y)^2))
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((stg*(2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/x^2)/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2)) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 'inner' s = stg*sin(x + 3/10)*cos(7*y/10)/2 - 2*stg*y/(5*x) + 2*stg*z/(5*x) - stg*cos(7*y/10)*cos(x + 3/10)/x - stg*cos(y)/(5*x*sin(y)) + 7*stg*sin(7*y/10)*sin(x + 3/10)*cos(y)/(20*x^2*sin(y)) + 49*stg*sin(x + 3/10)*cos(7*y/10)/(200*x^2) - stg/(2*x^2*sin(y)^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'inner') AS 'ir'
END
