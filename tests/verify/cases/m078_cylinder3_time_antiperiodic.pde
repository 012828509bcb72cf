{ coord=CYLINDER3; order=3; sides=straight; regions=1; sheets=flat; layers=1; bc=ANTIPERIODIC; term=dtdef; run=time; report=val.
  u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm078_cylinder3_time_antiperiodic'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 3
VARIABLES u
INITIAL VALUES u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2))
DEFINITIONS
  ex = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2))
  s = -(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/2 - (-pi^2*x*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*cos(pi*(x - 1/2)) + x*(3*y/10 + 1)*exp(-t/2)*cos(pi*(x - 1/2))/5 - pi*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*exp(-t/2)*sin(pi*(x - 1/2)))/x
  rate = dt(u)
EQUATIONS div(grad(u)) + s = rate
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5,1/2) AS 'uq'
END
