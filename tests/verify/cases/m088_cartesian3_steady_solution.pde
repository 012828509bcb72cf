{ coord=CARTESIAN3; order=2; sides=straight; regions=1; sheets=curved; layers=1; bc=SOLUTION; term=table; run=steady; report=deriv2.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm088_cartesian3_steady_solution'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = TABLE('m088_cartesian3_steady_solution_k.txt')
  s = -0.25*x - 0.1*y + 0.1*z + 149*(0.5*x + 1.0)*sin(x + 3/10)*cos(7*y/10)/200 - 0.25*cos(7*y/10)*cos(x + 3/10) - 0.5
EQUATIONS div(k*grad(u)) + s = 0
EXTRUSION z = sin(pi*(x - 1/2))/20, sin(pi*(x - 1/2))/20 + 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = (x/2 + 1)*(-x/5 + z/2 - pi*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*cos(pi*(x - 1/2))/20)/sqrt(pi^2*cos(pi*(x - 1/2))^2/400 + 1) + (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - u^2
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (x/2 + 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) + (x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - u^2 LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(dxx(u),4/5,9/10,1/2) AS 'uxx'
      REPORT VAL(dxy(u),4/5,9/10,1/2) AS 'uxy'
END
