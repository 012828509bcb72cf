{ coord=CYLINDER3; order=2; sides=curved; regions=2; sheets=tilted; layers=3; bc=SOLUTION; term=coefficient; run=steady; report=deriv1.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm150_cylinder3_steady_solution'
COORDINATES CYLINDER3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = x^2/4 + 1
  s = -(x^2*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)/2 - x*(x^2/4 + 1)*sin(x + 3/10)*cos(7*y/10)/2 + x*(x^2/4 + 1)/2 + (x^2/4 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) - 49*(x^2/4 + 1)*sin(x + 3/10)*cos(7*y/10)/(200*x))/x
EQUATIONS div(k*grad(u)) + s = 0
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 31/120, x/10 + y/20 + 71/120, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 NATURAL(u) = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + (x^2/4 + 1)*(-x/5 - y/50 + 13*z/25 - cos(7*y/10)*cos(x + 3/10)/20 - (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)/(20*x^2))/sqrt(101/100 + 1/(400*x^2)) - u^2
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (x^2/4 + 1)*((2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/x^2)/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2) + (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - u^2 ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = x^2*sin(x + 3/10)*cos(7*y/10)/8 - x^2/8 - 3*x*y/20 + 3*x*z/20 - 3*x*cos(7*y/10)*cos(x + 3/10)/8 + 449*sin(x + 3/10)*cos(7*y/10)/800 - 1/2 - y/(5*x) + z/(5*x) - cos(7*y/10)*cos(x + 3/10)/(2*x) + 49*sin(x + 3/10)*cos(7*y/10)/(200*x^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dx(u),4/5,9/10,1/2) AS 'ux'
      REPORT VAL(dy(u),4/5,9/10,1/2) AS 'uy'
END
