{ coord=CYLINDER3; order=1; sides=straight; regions=2; sheets=tilted; layers=2; bc=VALUE; term=integral_coef; run=steady; report=integral_number.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm057_cylinder3_steady_value'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -(-11*x*sin(x + 3/10)*cos(7*y/10)/20 + 11*x/20 + 11*y/50 - 11*z/50 + 11*cos(7*y/10)*cos(x + 3/10)/20 - 539*sin(x + 3/10)*cos(7*y/10)/(2000*x))/x
EQUATIONS div((1 + INTEGRAL(u)/(1.54919328466028)/10)*grad(u)) + s = 0
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 17/40, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = 11*sin(x + 3/10)*cos(7*y/10)/20 - 11/20 - 11*y/(50*x) + 11*z/(50*x) - 11*cos(7*y/10)*cos(x + 3/10)/(20*x) + 539*sin(x + 3/10)*cos(7*y/10)/(2000*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,2) AS 'ir'
END
