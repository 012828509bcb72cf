{ coord=YCYLINDER; order=3; sides=straight; regions=1; sheets=none; layers=0; bc=ANTIPERIODIC; term=val; run=nonlinear; report=sintegral.
  u = (3*y/10 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm275_ycylinder_nonlinear_antiperiodic'
COORDINATES YCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 3
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(x - 1/2))
  s = -(3*x*(9*y/50 + 3/5)*cos(pi*(x - 1/2))^3/100 + pi^2*x*(3*y/10 + 1)^3*sin(pi*(x - 1/2))^2*cos(pi*(x - 1/2))/5 - pi^2*x*(3*y/10 + 1)*((3*y/10 + 1)^2*cos(pi*(x - 1/2))^2/10 + 1)*cos(pi*(x - 1/2)) - pi*(3*y/10 + 1)*((3*y/10 + 1)^2*cos(pi*(x - 1/2))^2/10 + 1)*sin(pi*(x - 1/2)))/x
EQUATIONS div((1 + u^2/10)*grad(u)) + s + (VAL(u,4/5,9/10) - (127*sqrt(5/8 - sqrt(5)/8)/100)) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT SINTEGRAL(u) AS 'ib'
END
