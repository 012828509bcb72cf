{ coord=SPHERE2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=PERIODIC; term=integral; run=steady; report=integral_name.
  u = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm073_sphere2_steady_periodic'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2
  s = -(-4*pi^2*x^2*(3*y/10 + 1)*sin(y)*cos(pi*(2*x - 1)) - 4*pi*x*(3*y/10 + 1)*sin(y)*sin(pi*(2*x - 1)) + 3*cos(y)*cos(pi*(2*x - 1))/10)/(x^2*sin(y))
EQUATIONS div(grad(u)) + s + (INTEGRAL(u) - (11.3221122763761)) = 0
BOUNDARIES
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'outer') AS 'ir'
END
