{ coord=CYLINDER3; order=2; sides=straight; regions=1; sheets=flat; layers=1; bc=SCALAR; term=val; run=steady; report=deriv2.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm079_cylinder3_steady_scalar'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -(-x*sin(x + 3/10)*cos(7*y/10)/2 + x/2 + y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2 - 49*sin(x + 3/10)*cos(7*y/10)/(200*x))/x
EQUATIONS
  u: div(grad(u)) + s + (VAL(u,4/5,9/10,1/2) - (sin(11/10)*cos(63/100)/2 + 2253/2000)) = 0
  c: c*(1.54596411799361) - INTEGRAL(u) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = c*(-x/5 + z/2)
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10,1/2) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10,1/2) AS 'uxy'
END
