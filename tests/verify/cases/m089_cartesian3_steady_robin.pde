{ coord=CARTESIAN3; order=1; sides=straight; regions=1; sheets=flat; layers=3; bc=ROBIN; term=plain; run=steady; report=integral_number.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm089_cartesian3_steady_robin'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = 0.745*sin(x + 3/10)*cos(7*y/10) - 0.5
EQUATIONS div(grad(u)) + s = 0
EXTRUSION z = 0, 1/3, 2/3, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 NATURAL(u) = 2*x*y/5 - 2*x*z/5 - x/5 + z^2/2 + z/2 + sin(x + 3/10)*cos(7*y/10) + 2 - 2*u
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = 2*x*y/5 - 2*x*z/5 + y/5 + z^2/2 - z/5 + sin(x + 3/10)*cos(7*y/10) + cos(7*y/10)*cos(x + 3/10)/2 + 2 - 2*u LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,1) AS 'ir'
END
