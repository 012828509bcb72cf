{ coord=SPHERE3; order=2; sides=curved; regions=2; sheets=curved; layers=3; bc=NATURAL; term=table; run=fixdt; report=deriv2.
  u = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm152_sphere3_fixdt_natural'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 0.02  ORDER = 2  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
DEFINITIONS
  ex = (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)
  k = TABLE('m152_sphere3_fixdt_natural_k.txt')
  s = -(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)*exp(-t/2)/2 - (-x^2*(x/2 + 1)*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + x^2*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)*sin(y)/2 + 2*x*(x/2 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)*sin(y) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(x/2 + 1)*exp(-t/2)*cos(y) - 49*(x/2 + 1)*exp(-t/2)*sin(y)*sin(x + 3/10)*cos(7*y/10)/200 + (x/2 + 1)*exp(-t/2)/(2*sin(y)))/(x^2*sin(y))
EQUATIONS div(k*grad(u)) + s = dt(u)
EXTRUSION z = sin(pi*(x - 1/2))/20, sin(pi*(x - 1/2))/10 + 1/3, sin(pi*(x - 1/2))/10 + 2/3, sin(pi*(x - 1/2))/20 + 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 NATURAL(u) = (x/2 + 1)*(-pi*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2)*cos(pi*(x - 1/2))/20 + (-x/5 + z/2)*exp(-t/2)/(x^2*sin(y)^2))/sqrt(pi^2*cos(pi*(x - 1/2))^2/400 + 1/(x^2*sin(y)^2))
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (x/2 + 1)*((2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*exp(-t/2) + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)*exp(-t/2)/x^2)/sqrt((2*x - 1)^2 + (2*y - 1)^2/x^2) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -x*y*exp(-t/2)/10 + x*z*exp(-t/2)/10 + x*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/4 - 3*y*exp(-t/2)/10 - z^2*exp(-t/2)/8 + 3*z*exp(-t/2)/10 + exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/4 - 3*exp(-t/2)*cos(7*y/10)*cos(x + 3/10)/4 - exp(-t/2)/2 - exp(-t/2)*cos(y)/(10*sin(y)) - 2*y*exp(-t/2)/(5*x) + 2*z*exp(-t/2)/(5*x) + 7*exp(-t/2)*sin(7*y/10)*sin(x + 3/10)*cos(y)/(40*x*sin(y)) + 49*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/(400*x) - exp(-t/2)*cos(7*y/10)*cos(x + 3/10)/x - exp(-t/2)*cos(y)/(5*x*sin(y)) - exp(-t/2)/(4*x*sin(y)^2) + 7*exp(-t/2)*sin(7*y/10)*sin(x + 3/10)*cos(y)/(20*x^2*sin(y)) + 49*exp(-t/2)*sin(x + 3/10)*cos(7*y/10)/(200*x^2) - exp(-t/2)/(2*x^2*sin(y)^2)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10,1/2) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10,1/2) AS 'uxy'
END
