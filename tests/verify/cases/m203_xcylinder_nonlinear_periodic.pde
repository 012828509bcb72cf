{ coord=XCYLINDER; order=2; sides=straight; regions=2; sheets=none; layers=0; bc=PERIODIC; term=definition; run=nonlinear; report=table.
  u = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm203_xcylinder_nonlinear_periodic'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(2*x - 1)) + 2
  fl = (1 + u^2/10)*grad(u)
  s = -(4*pi^2*y*(3*y/10 + 1)^2*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*sin(pi*(2*x - 1))^2/5 - 4*pi^2*y*(3*y/10 + 1)*(((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^2/10 + 1)*cos(pi*(2*x - 1)) + 9*y*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*cos(pi*(2*x - 1))^2/500 + 3*(((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^2/10 + 1)*cos(pi*(2*x - 1))/10)/y
EQUATIONS div(fl) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 2 s = 27*pi^2*y^3*sin(2*pi*x)^2*cos(2*pi*x)/1250 - 27*pi^2*y^3*cos(2*pi*x)^3/2500 + 27*pi^2*y^2*sin(2*pi*x)^2*cos(2*pi*x)/125 - 18*pi^2*y^2*sin(2*pi*x)^2/125 - 27*pi^2*y^2*cos(2*pi*x)^3/250 + 18*pi^2*y^2*cos(2*pi*x)^2/125 + 18*pi^2*y*sin(2*pi*x)^2*cos(2*pi*x)/25 - 24*pi^2*y*sin(2*pi*x)^2/25 - 9*pi^2*y*cos(2*pi*x)^3/25 + 81*y*cos(2*pi*x)^3/10000 + 24*pi^2*y*cos(2*pi*x)^2/25 - 42*pi^2*y*cos(2*pi*x)/25 + 4*pi^2*sin(2*pi*x)^2*cos(2*pi*x)/5 - 8*pi^2*sin(2*pi*x)^2/5 - 2*pi^2*cos(2*pi*x)^3/5 + 9*cos(2*pi*x)^3/250 - 9*cos(2*pi*x)^2/125 + 8*pi^2*cos(2*pi*x)^2/5 - 28*pi^2*cos(2*pi*x)/5 + 3*cos(2*pi*x)^3/(100*y) - 3*cos(2*pi*x)^2/(25*y) + 21*cos(2*pi*x)/(50*y)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TABLE(u) POINTS=(3,3)
END
