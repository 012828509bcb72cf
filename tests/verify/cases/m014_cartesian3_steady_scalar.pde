{ coord=CARTESIAN3; order=2; sides=curved; regions=2; sheets=tilted; layers=2; bc=SCALAR; term=coefficient; run=steady; report=val.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm014_cartesian3_steady_scalar'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = x^2/4 + 1
  s = -0.125*x^2 - 0.5*x*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2) + 149*(0.25*x^2 + 1.0)*sin(x + 3/10)*cos(7*y/10)/200 - 0.5
EQUATIONS
  u: div(k*grad(u)) + s = 0
  c: c*(1.19305607299817) - INTEGRAL(u) = 0
EXTRUSION z = x/10 + y/20 - 3/40, x/10 + y/20 + 17/40, x/10 + y/20 + 37/40
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 NATURAL(u) = c*(4*sqrt(5)*(x^2/4 + 1)*(-21*x/100 - y/50 + 13*z/25 + 7*sin(7*y/10)*sin(x + 3/10)/400 - cos(7*y/10)*cos(x + 3/10)/20)/9)
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((x^2/4 + 1)*((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2))/sqrt((2*x - 1)^2 + (2*y - 1)^2)) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = 0.18625*x^2*sin(x + 3/10)*cos(7*y/10) - 0.125*x^2 - 0.1*x*y + 0.1*x*z - 0.25*x*cos(7*y/10)*cos(x + 3/10) + 0.745*sin(x + 3/10)*cos(7*y/10) - 0.5
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT VAL(u,13/10,3/5,1/2) AS 'uq'
END
