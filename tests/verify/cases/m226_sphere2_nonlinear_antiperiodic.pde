{ coord=SPHERE2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=ANTIPERIODIC; term=val; run=nonlinear; report=deriv1.
  u = (3*y/10 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm226_sphere2_nonlinear_antiperiodic'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*cos(pi*(x - 1/2))
  s = -(pi^2*x^2*(3*y/10 + 1)^3*sin(y)*sin(pi*(x - 1/2))^2*cos(pi*(x - 1/2))/5 - pi^2*x^2*(3*y/10 + 1)*((3*y/10 + 1)^2*cos(pi*(x - 1/2))^2/10 + 1)*sin(y)*cos(pi*(x - 1/2)) - 2*pi*x*(3*y/10 + 1)*((3*y/10 + 1)^2*cos(pi*(x - 1/2))^2/10 + 1)*sin(y)*sin(pi*(x - 1/2)) + 3*(9*y/50 + 3/5)*sin(y)*cos(pi*(x - 1/2))^3/100 + 3*((3*y/10 + 1)^2*cos(pi*(x - 1/2))^2/10 + 1)*cos(y)*cos(pi*(x - 1/2))/10)/(x^2*sin(y))
EQUATIONS div((1 + u^2/10)*grad(u)) + s + (VAL(u,4/5,9/10) - (127*sqrt(5/8 - sqrt(5)/8)/100)) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10) AS 'uy'
END
