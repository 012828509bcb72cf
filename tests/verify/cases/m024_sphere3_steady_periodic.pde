{ coord=SPHERE3; order=1; sides=straight; regions=1; sheets=flat; layers=3; bc=PERIODIC; term=definition; run=steady; report=val.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm024_sphere3_steady_periodic'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)
  fl = grad(u)
  s = -(-4*pi^2*x^2*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*sin(y)*cos(pi*(2*x - 1)) - 4*pi*x*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*sin(y)*sin(pi*(2*x - 1)) + ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)/(5*sin(y)) + 3*(z^2/10 + z/5 + 1)*cos(y)*cos(pi*(2*x - 1))/10)/(x^2*sin(y))
EQUATIONS div(fl) + s = 0
EXTRUSION z = 0, 1/3, 2/3, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5,1/2) AS 'uq'
END
