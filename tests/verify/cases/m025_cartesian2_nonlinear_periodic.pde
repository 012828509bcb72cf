{ coord=CARTESIAN2; order=3; sides=straight; regions=1; sheets=none; layers=0; bc=PERIODIC; term=table; run=nonlinear; report=integral_number.
  u = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm025_cartesian2_nonlinear_periodic'
SELECT ERRLIM = 0.0001  ORDER = 3
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2
  k = TABLE('m025_cartesian2_nonlinear_periodic_k.txt')
  s = -0.8*pi^2*(x/2 + 1)*(3*y/10 + 1)^2*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*sin(pi*(2*x - 1))^2 + 4.0*pi^2*(x/2 + 1)*(3*y/10 + 1)*(((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^2/10 + 1)*cos(pi*(2*x - 1)) - 0.018*(x/2 + 1)*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*cos(pi*(2*x - 1))^2 + 1.0*pi*(3*y/10 + 1)*(((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^2/10 + 1)*sin(pi*(2*x - 1))
EQUATIONS div(k*(1 + u^2/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,1) AS 'ir'
END
