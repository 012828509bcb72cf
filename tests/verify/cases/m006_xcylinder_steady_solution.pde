{ coord=XCYLINDER; order=3; sides=curved; regions=1; sheets=none; layers=0; bc=SOLUTION; term=integral_coef; run=steady; report=bintegral.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm006_xcylinder_steady_solution'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 3
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -(11*x/50 - 1639*y*sin(x + 3/10)*cos(7*y/10)/2000 - 77*sin(7*y/10)*sin(x + 3/10)/200)/y
EQUATIONS div((1 + INTEGRAL(u)/(6.91740642533958)/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/10 + 11*(2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)/10)/sqrt((2*x - 1)^2 + (2*y - 1)^2) + (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - u^2 ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT BINTEGRAL(u) AS 'ib'
END
