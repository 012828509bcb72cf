{ coord=CARTESIAN3; order=1; sides=straight; regions=1; sheets=tilted; layers=1; bc=SOLUTION; term=table; run=time; report=deriv1.
  u = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm044_cartesian3_time_solution'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
INITIAL VALUES u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  k = TABLE('m044_cartesian3_time_solution_k.txt')
  s = 149*(0.5*x + 1.0)*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/200 - (0.5*x + 1.0)*exp(-t/2)/2 - 0.5*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2) - (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2
EQUATIONS div(k*grad(u)) + s = dt(u)
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = 4*sqrt(5)*(x/2 + 1)*((-x/5 + z/2)*exp(-t/2) - (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*exp(-t/2)/20 - (y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)/10)/9 + (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2*exp(-t) - u^2
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (x/2 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2) + (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2*exp(-t) - u^2 LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10,1/2) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10,1/2) AS 'uy'
END
