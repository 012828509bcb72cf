{ coord=CARTESIAN3; order=1; sides=straight; regions=1; sheets=flat; layers=1; bc=ANTIPERIODIC; term=definition; run=nonlinear; report=integral_name.
  u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm043_cartesian3_nonlinear_antiperiodic'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2))
  fl = (1 + u^2/10)*grad(u)
  s = -0.03*(9*y/50 + 3/5)*(z^2/10 + z/5 + 1)^3*cos(pi*(x - 1/2))^3 - 0.1*(3*y/10 + 1)^3*(z/5 + 1/5)*(2*z/5 + 2/5)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2))^3 - 0.2*pi^2*(3*y/10 + 1)^3*(z^2/10 + z/5 + 1)^3*sin(pi*(x - 1/2))^2*cos(pi*(x - 1/2)) + pi^2*(3*y/10 + 1)*(0.1*(3*y/10 + 1)^2*(z^2/10 + z/5 + 1)^2*cos(pi*(x - 1/2))^2 + 1.0)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2)) - (3*y/10 + 1)*(0.1*(3*y/10 + 1)^2*(z^2/10 + z/5 + 1)^2*cos(pi*(x - 1/2))^2 + 1.0)*cos(pi*(x - 1/2))/5
EQUATIONS div(fl) + s = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'outer') AS 'ir'
END
