{ coord=CARTESIAN3; order=1; sides=straight; regions=1; sheets=flat; layers=2; bc=VALUE; term=plain; run=steady; report=deriv1.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm092_cartesian3_steady_value'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = 0.745*sin(x + 3/10)*cos(7*y/10) - 0.5
EQUATIONS div(grad(u)) + s = 0
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10,1/2) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10,1/2) AS 'uy'
END
