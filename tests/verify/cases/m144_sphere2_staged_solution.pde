{ coord=SPHERE2; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=SOLUTION; term=val; run=staged; report=tecplot.
  u = p*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm144_sphere2_staged_solution'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2  STAGES = 2
VARIABLES u
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  s = -(-stg*x^2*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*stg*x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y) + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*cos(y) - 49*stg*sin(y)*sin(x + 3/10)*cos(7*y/10)/200)/(x^2*sin(y))
EQUATIONS div(grad(u)) + s + (VAL(u,4/5,9/10) - (stg*(sin(11/10)*cos(63/100)/2 + 143/125))) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = stg^2*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + (stg*(2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2) + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/x^2)/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2) - u^2 ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = stg*sin(x + 3/10)*cos(7*y/10)/2 - 2*stg*y/(5*x) - stg*cos(7*y/10)*cos(x + 3/10)/x - stg*cos(y)/(5*x*sin(y)) + 7*stg*sin(7*y/10)*sin(x + 3/10)*cos(y)/(20*x^2*sin(y)) + 49*stg*sin(x + 3/10)*cos(7*y/10)/(200*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TECPLOT(u)
END
