{ coord=SPHERE3; order=3; sides=straight; regions=1; sheets=tilted; layers=2; bc=VALUE; term=plain; run=nonlinear; report=deriv2.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm021_sphere3_nonlinear_value'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 3
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -(-x^2*((x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + x^2*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 - 2*z/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/10 + 2*x*((x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y) + (-2*x/5 + z)*(-x/5 + z/2)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)/(10*sin(y)) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*sin(y)/10 + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*((x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*cos(y) - 49*((x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200 + ((x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)/(2*sin(y)))/(x^2*sin(y))
EQUATIONS div((1 + u^2/10)*grad(u)) + s = 0
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 17/40, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10,1/2) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10,1/2) AS 'uxy'
END
