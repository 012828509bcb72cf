{ coord=SPHERE2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=SOLUTION; term=coefficient; run=nonlinear; report=cdf.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm010_sphere2_nonlinear_solution'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = x^2/4 + 1
  s = -(x^3*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(y)/2 + x^2*(x^2/4 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/10 - x^2*(x^2/4 + 1)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*x*(x^2/4 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(y) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x^2/4 + 1)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/10 + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(x^2/4 + 1)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*cos(y) - 49*(x^2/4 + 1)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200)/(x^2*sin(y))
EQUATIONS div(k*(1 + u^2/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (x^2/4 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1) + (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - u^2 LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  CDF(u) POINTS=(5,5)
END
