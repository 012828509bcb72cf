{ coord=SPHERE2; order=2; sides=straight; regions=2; sheets=none; layers=0; bc=PERIODIC; term=definition; run=steady; report=transfer.
  u = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm142_sphere2_steady_periodic'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2
  fl = grad(u)
  s = -(-4*pi^2*x^2*(3*y/10 + 1)*sin(y)*cos(pi*(2*x - 1)) - 4*pi*x*(3*y/10 + 1)*sin(y)*sin(pi*(2*x - 1)) + 3*cos(y)*cos(pi*(2*x - 1))/10)/(x^2*sin(y))
EQUATIONS div(fl) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = -6*pi^2*y*cos(2*pi*x)/5 - 4*pi^2*cos(2*pi*x) - 6*pi*y*sin(2*pi*x)/(5*x) - 4*pi*sin(2*pi*x)/x + 3*cos(y)*cos(2*pi*x)/(10*x^2*sin(y))
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TRANSFER(u) FILE 'm142_sphere2_steady_periodic.xfr'
END
