{ coord=CARTESIAN3; order=2; sides=curved; regions=2; sheets=curved; layers=1; bc=SCALAR; term=integral_coef; run=staged; report=eval.
  u = p*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1); tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm147_cartesian3_staged_scalar'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2  STAGES = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  s = 0.8195*stg*sin(x + 3/10)*cos(7*y/10) - 0.55*stg
EQUATIONS
  u: div((1 + INTEGRAL(u)/(1.19157831011014*stg)/10)*grad(u)) + s = 0
  c: c*(1.19157831011014*stg) - INTEGRAL(u) = 0
EXTRUSION z = sin(pi*(x - 1/2))/20, sin(pi*(x - 1/2))/20 + 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = c*((11*stg*(-x/5 + z/2)/10 - 11*pi*stg*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*cos(pi*(x - 1/2))/200)/sqrt(pi^2*cos(pi*(x - 1/2))^2/400 + 1))
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((11*stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1)/10 + 11*stg*(2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)/10)/sqrt((2*x - 1)^2 + (2*y - 1)^2)) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = 0.8195*stg*sin(x + 3/10)*cos(7*y/10) - 0.55*stg
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT EVAL(u,4/5,9/10,1/2) AS 'ue'
END
