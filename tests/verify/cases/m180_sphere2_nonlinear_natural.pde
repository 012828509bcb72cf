{ coord=SPHERE2; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=NATURAL; term=integral_coef; run=nonlinear; report=deriv1.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm180_sphere2_nonlinear_natural'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -(11*x^2*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/100 - x^2*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*sin(y) + 11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/100 + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*cos(y) - 49*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200)/(x^2*sin(y))
EQUATIONS div((1 + u^2/10)*(1 + INTEGRAL(u)/(5.31834664411175)/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = ((2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/x^2)*(11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = 11*x^2*y^2*sin(x + 3/10)*cos(7*y/10)/5000 - 11*x*y^3/3125 - 33*x*y^2*cos(7*y/10)*cos(x + 3/10)/2500 - 11*x*y^2*cos(y)/(12500*sin(y)) + 11*x*y*sin(x + 3/10)^2*cos(7*y/10)^2/1000 + 11*x*y*sin(x + 3/10)*cos(7*y/10)/500 - 11*x*y*cos(7*y/10)^2*cos(x + 3/10)^2/1000 - 11*x*y/6250 + 77*y^2*sin(7*y/10)*sin(x + 3/10)*cos(y)/(50000*sin(y)) - 6061*y^2*sin(x + 3/10)*cos(7*y/10)/500000 - 33*y^2/1250 + 77*y*sin(7*y/10)*sin(x + 3/10)/12500 - 11*y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10)/250 - 11*y*cos(7*y/10)*cos(x + 3/10)/125 - 11*y*sin(x + 3/10)*cos(7*y/10)*cos(y)/(2500*sin(y)) - 11*y*cos(y)/(1250*sin(y)) + 11*sin(x + 3/10)^3*cos(7*y/10)^3/800 + 11*sin(x + 3/10)^2*cos(7*y/10)^2/200 - 11*sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2/400 + 3003*sin(x + 3/10)*cos(7*y/10)/5000 - 11*cos(7*y/10)^2*cos(x + 3/10)^2/200 - 11/1250 - 539*y*sin(7*y/10)^2*sin(x + 3/10)^2/(100000*x) + 77*y*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10)*cos(y)/(10000*x*sin(y)) + 77*y*sin(7*y/10)*sin(x + 3/10)*cos(y)/(5000*x*sin(y)) - 561*y*sin(x + 3/10)^2*cos(7*y/10)^2/(100000*x) - 1661*y*sin(x + 3/10)*cos(7*y/10)/(50000*x) - 121*y/(250*x) + 77*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10)/(5000*x) + 77*sin(7*y/10)*sin(x + 3/10)/(2500*x) - 11*sin(x + 3/10)^2*cos(7*y/10)^3*cos(x + 3/10)/(400*x) - 11*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10)/(100*x) - 121*cos(7*y/10)*cos(x + 3/10)/(100*x) - 11*sin(x + 3/10)^2*cos(7*y/10)^2*cos(y)/(2000*x*sin(y)) - 11*sin(x + 3/10)*cos(7*y/10)*cos(y)/(500*x*sin(y)) - 121*cos(y)/(500*x*sin(y)) - 539*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10)/(40000*x^2) - 539*sin(7*y/10)^2*sin(x + 3/10)^2/(20000*x^2) + 77*sin(7*y/10)*sin(x + 3/10)^3*cos(7*y/10)^2*cos(y)/(8000*x^2*sin(y)) + 77*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10)*cos(y)/(2000*x^2*sin(y)) + 847*sin(7*y/10)*sin(x + 3/10)*cos(y)/(2000*x^2*sin(y)) + 539*sin(x + 3/10)^3*cos(7*y/10)^3/(80000*x^2) + 539*sin(x + 3/10)^2*cos(7*y/10)^2/(20000*x^2) + 5929*sin(x + 3/10)*cos(7*y/10)/(20000*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10) AS 'uy'
END
