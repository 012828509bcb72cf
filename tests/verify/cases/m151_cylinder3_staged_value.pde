{ coord=CYLINDER3; order=2; sides=curved; regions=2; sheets=flat; layers=2; bc=VALUE; term=table; run=staged; report=table.
  u = p*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm151_cylinder3_staged_value'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  k = TABLE('m151_cylinder3_staged_value_k.txt')
  s = -(-stg*x*(x/2 + 1)*sin(x + 3/10)*cos(7*y/10)/2 + stg*x*(x/2 + 1)/2 + stg*x*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)/2 + stg*(x/2 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) - 49*stg*(x/2 + 1)*sin(x + 3/10)*cos(7*y/10)/(200*x))/x
EQUATIONS div(k*grad(u)) + s = 0
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = stg*x*sin(x + 3/10)*cos(7*y/10)/4 - stg*x/4 - stg*y/5 + stg*z/5 + stg*sin(x + 3/10)*cos(7*y/10)/2 - stg*cos(7*y/10)*cos(x + 3/10)/2 - stg/2 - stg*y/(5*x) + stg*z/(5*x) + 49*stg*sin(x + 3/10)*cos(7*y/10)/(400*x) - stg*cos(7*y/10)*cos(x + 3/10)/(2*x) + 49*stg*sin(x + 3/10)*cos(7*y/10)/(200*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TABLE(u) POINTS=(3,3,3)
END
