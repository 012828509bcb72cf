{ coord=CARTESIAN3; order=2; sides=curved; regions=2; sheets=flat; layers=2; bc=NATURAL; term=plain; run=steady; report=eval.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm195_cartesian3_steady_natural'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = 0.745*sin(x + 3/10)*cos(7*y/10) - 0.5
EQUATIONS div(grad(u)) + s = 0
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 3 NATURAL(u) = -x/5 + z/2
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = ((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2))/sqrt((2*x - 1)^2 + (2*y - 1)^2) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = 0.745*sin(x + 3/10)*cos(7*y/10) - 0.5
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT EVAL(u,4/5,9/10,1/2) AS 'ue'
END
