{ coord=CARTESIAN3; order=3; sides=straight; regions=1; sheets=curved; layers=3; bc=VALUE; term=val; run=nonlinear; report=eval.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm015_cartesian3_nonlinear_value'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 3
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -0.1*(-2*x/5 + z)*(-x/5 + z/2)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.1*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) + 149*(0.1*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + 1.0)*sin(x + 3/10)*cos(7*y/10)/200 - 0.1*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 - 2*z/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.05*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - 0.5
EQUATIONS div((1 + u^2/10)*grad(u)) + s + (VAL(u,4/5,9/10,1/2) - (sin(11/10)*cos(63/100)/2 + 2253/2000)) = 0
EXTRUSION z = sin(pi*(x - 1/2))/20, sin(pi*(x - 1/2))/10 + 1/3, sin(pi*(x - 1/2))/10 + 2/3, sin(pi*(x - 1/2))/20 + 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 VALUE(u) = ex
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT EVAL(u,4/5,9/10,1/2) AS 'ue'
END
