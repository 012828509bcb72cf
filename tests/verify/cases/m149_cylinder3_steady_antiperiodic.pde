{ coord=CYLINDER3; order=2; sides=straight; regions=2; sheets=flat; layers=2; bc=ANTIPERIODIC; term=integral; run=steady; report=integral_name.
  u = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2)); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm149_cylinder3_steady_antiperiodic'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = (3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2))
  s = -(-pi^2*x*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*cos(pi*(x - 1/2)) + x*(3*y/10 + 1)*cos(pi*(x - 1/2))/5 - pi*(3*y/10 + 1)*(z^2/10 + z/5 + 1)*sin(pi*(x - 1/2)))/x
EQUATIONS div(grad(u)) + s + (INTEGRAL(u) - (-0.298559754466090)) = 0
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 VALUE(u) = ex
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
  REGION 'inner' s = 3*pi^2*y*z^2*sin(pi*x)/100 + 3*pi^2*y*z*sin(pi*x)/50 - 3*y*sin(pi*x)/50 + 3*pi^2*y*sin(pi*x)/10 + pi^2*z^2*sin(pi*x)/10 + pi^2*z*sin(pi*x)/5 - sin(pi*x)/5 + pi^2*sin(pi*x) - 3*pi*y*z^2*cos(pi*x)/(100*x) - 3*pi*y*z*cos(pi*x)/(50*x) - 3*pi*y*cos(pi*x)/(10*x) - pi*z^2*cos(pi*x)/(10*x) - pi*z*cos(pi*x)/(5*x) - pi*cos(pi*x)/x
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,'inner') AS 'ir'
END
