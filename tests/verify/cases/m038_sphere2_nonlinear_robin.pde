{ coord=SPHERE2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=ROBIN; term=integral_coef; run=nonlinear; report=sintegral.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm038_sphere2_nonlinear_robin'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -(11*x^2*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/100 - x^2*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*sin(y) + 11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/100 + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*cos(y) - 49*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200)/(x^2*sin(y))
EQUATIONS div((1 + u^2/10)*(1 + INTEGRAL(u)/(8.74442872295477)/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = 2*x*y/5 + (y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10) + sin(x + 3/10)*cos(7*y/10) + 2 - 2*u LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT SINTEGRAL(u) AS 'ib'
END
