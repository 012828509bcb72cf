{ coord=CYLINDER3; order=1; sides=straight; regions=1; sheets=flat; layers=2; bc=PERIODIC; term=integral; run=nonlinear; report=tecplot.
  u = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm046_cylinder3_nonlinear_periodic'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = ((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)
  s = -(4*pi^2*x*(3*y/10 + 1)^2*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)^3*sin(pi*(2*x - 1))^2/5 - 4*pi^2*x*(3*y/10 + 1)*(((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^2*(z^2/10 + z/5 + 1)^2/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(2*x - 1)) + x*(z/5 + 1/5)*(2*z/5 + 2/5)*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^3*(z^2/10 + z/5 + 1)/10 + x*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^2*(z^2/10 + z/5 + 1)^2/10 + 1)/5 - 2*pi*(3*y/10 + 1)*(((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)^2*(z^2/10 + z/5 + 1)^2/10 + 1)*(z^2/10 + z/5 + 1)*sin(pi*(2*x - 1)) + 9*((3*y/10 + 1)*cos(pi*(2*x - 1)) + 2)*(z^2/10 + z/5 + 1)^3*cos(pi*(2*x - 1))^2/(500*x))/x
EQUATIONS div((1 + u^2/10)*grad(u)) + s + (INTEGRAL(u) - (2.26666666666667)) = 0
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) PERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TECPLOT(u)
END
