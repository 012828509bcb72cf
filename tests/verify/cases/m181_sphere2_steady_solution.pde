{ coord=SPHERE2; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=SOLUTION; term=table; run=steady; report=val.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm181_sphere2_steady_solution'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = TABLE('m181_sphere2_steady_solution_k.txt')
  s = -(-x^2*(x/2 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + x^2*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y)/2 + 2*x*(x/2 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(x/2 + 1)*cos(y) - 49*(x/2 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200)/(x^2*sin(y))
EQUATIONS div(k*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (x/2 + 1)*((2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/x^2)/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2) + (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - u^2 ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = x*sin(x + 3/10)*cos(7*y/10)/4 - 3*y/10 + sin(x + 3/10)*cos(7*y/10)/2 - 3*cos(7*y/10)*cos(x + 3/10)/4 - cos(y)/(10*sin(y)) - 2*y/(5*x) + 7*sin(7*y/10)*sin(x + 3/10)*cos(y)/(40*x*sin(y)) + 49*sin(x + 3/10)*cos(7*y/10)/(400*x) - cos(7*y/10)*cos(x + 3/10)/x - cos(y)/(5*x*sin(y)) + 7*sin(7*y/10)*sin(x + 3/10)*cos(y)/(20*x^2*sin(y)) + 49*sin(x + 3/10)*cos(7*y/10)/(200*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5) AS 'uq'
END
