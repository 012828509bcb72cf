{ coord=SPHERE3; order=1; sides=straight; regions=1; sheets=curved; layers=3; bc=SCALAR; term=integral_coef; run=staged; report=deriv1.
  u = p*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm050_sphere3_staged_scalar'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1  STAGES = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  s = -(-11*stg*x^2*sin(y)*sin(x + 3/10)*cos(7*y/10)/20 + 11*stg*x*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y)/5 + 11*stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*cos(y)/10 - 539*stg*sin(y)*sin(x + 3/10)*cos(7*y/10)/2000 + 11*stg/(20*sin(y)))/(x^2*sin(y))
EQUATIONS
  u: div((1 + INTEGRAL(u)/(1.36482240848834*stg)/10)*grad(u)) + s = 0
  c: c*(1.36482240848834*stg) - INTEGRAL(u) = 0
EXTRUSION z = sin(pi*(x - 1/2))/20, sin(pi*(x - 1/2))/10 + 1/3, sin(pi*(x - 1/2))/10 + 2/3, sin(pi*(x - 1/2))/20 + 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 NATURAL(u) = c*((-11*pi*stg*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*cos(pi*(x - 1/2))/200 + 11*stg*(-x/5 + z/2)/(10*x^2*sin(y)^2))/sqrt(pi^2*cos(pi*(x - 1/2))^2/400 + 1/(x^2*sin(y)^2)))
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*(11*stg*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)/10) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10,1/2) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10,1/2) AS 'uy'
END
