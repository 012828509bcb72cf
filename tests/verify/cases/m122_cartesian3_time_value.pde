{ coord=CARTESIAN3; order=1; sides=curved; regions=2; sheets=curved; layers=3; bc=VALUE; term=integral; run=time; report=integral_name.
  u = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm122_cartesian3_time_value'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.05  ORDER = 1
VARIABLES u
INITIAL VALUES u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  s = -(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 + 0.745*exp(-t/2)*sin(x + 3/10)*cos(7*y/10) - 0.5*exp(-t/2)
EQUATIONS div(grad(u)) + s + (INTEGRAL(u) - (1.19157831011014*exp(-t/2))) = dt(u)
EXTRUSION z = sin(pi*(x - 1/2))/20, sin(pi*(x - 1/2))/10 + 1/3, sin(pi*(x - 1/2))/10 + 2/3, sin(pi*(x - 1/2))/20 + 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 VALUE(u) = ex
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 'inner' s = -x*y*exp(-t/2)/10 + x*z*exp(-t/2)/10 - z^2*exp(-t/2)/8 + 0.495*exp(-t/2)*sin(x + 3/10)*cos(7*y/10) - 1.0*exp(-t/2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'inner') AS 'ir'
END
