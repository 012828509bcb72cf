{ coord=CARTESIAN3; order=1; sides=straight; regions=1; sheets=flat; layers=2; bc=PERIODIC; term=integral_coef; run=steady; report=table.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm077_cartesian3_steady_periodic'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)
  s = 4.4*pi^2*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(2*x - 1)) - 0.22*(3*y/10 + 1)*cos(pi*(2*x - 1)) - 0.44
EQUATIONS div((1 + INTEGRAL(u)/(2.26666666666666)/10)*grad(u)) + s = 0
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TABLE(u) POINTS=(3,3,3)
END
