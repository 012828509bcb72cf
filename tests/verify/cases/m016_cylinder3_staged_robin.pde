{ coord=CYLINDER3; order=1; sides=straight; regions=1; sheets=tilted; layers=2; bc=ROBIN; term=definition; run=staged; report=integral_name.
  u = p*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm016_cylinder3_staged_robin'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  fl = grad(u)
  s = -(-stg*x*sin(x + 3/10)*cos(7*y/10)/2 + stg*x/2 + stg*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) - 49*stg*sin(x + 3/10)*cos(7*y/10)/(200*x))/x
EQUATIONS div(fl) + s = 0
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 17/40, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 NATURAL(u) = 2*stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) + (stg*(-x/5 + z/2) - stg*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)/10 - stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)/(20*x^2))/sqrt(101/100 + 1/(400*x^2)) - 2*u
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = stg*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) + 2*stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 2*u LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'outer') AS 'ir'
END
