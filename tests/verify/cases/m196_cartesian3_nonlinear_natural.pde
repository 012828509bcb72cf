{ coord=CARTESIAN3; order=2; sides=curved; regions=2; sheets=flat; layers=3; bc=NATURAL; term=plain; run=nonlinear; report=eval.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm196_cartesian3_nonlinear_natural'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -0.1*(-2*x/5 + z)*(-x/5 + z/2)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.1*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) + 149*(0.1*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + 1.0)*sin(x + 3/10)*cos(7*y/10)/200 - 0.1*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 - 2*z/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.05*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - 0.5
EQUATIONS div((1 + u^2/10)*grad(u)) + s = 0
EXTRUSION z = 0, 1/3, 2/3, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 4 NATURAL(u) = (-x/5 + z/2)*((x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = ((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2))*((x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)/sqrt((2*x - 1)^2 + (2*y - 1)^2) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -0.0032*x^3*y + 0.0032*x^3*z + 0.00298*x^2*y^2*sin(x + 3/10)*cos(7*y/10) - 0.002*x^2*y^2 - 0.00596*x^2*y*z*sin(x + 3/10)*cos(7*y/10) + 0.012*x^2*y*z + 0.0056*x^2*y*sin(7*y/10)*sin(x + 3/10) + 0.00298*x^2*z^2*sin(x + 3/10)*cos(7*y/10) - 0.014*x^2*z^2 - 0.0056*x^2*z*sin(7*y/10)*sin(x + 3/10) - 0.008*x^2*sin(x + 3/10)*cos(7*y/10) - 0.016*x^2 - 0.0016*x*y^3 + 0.0048*x*y^2*z - 0.008*x*y^2*cos(7*y/10)*cos(x + 3/10) + 0.00745*x*y*z^2*sin(x + 3/10)*cos(7*y/10) - 0.0198*x*y*z^2 + 0.016*x*y*z*cos(7*y/10)*cos(x + 3/10) - 0.0049*x*y*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.0149*x*y*sin(x + 3/10)^2*cos(7*y/10)^2 + 0.0198*x*y*sin(x + 3/10)*cos(7*y/10) - 0.01*x*y*cos(7*y/10)^2*cos(x + 3/10)^2 - 0.02*x*y - 0.00745*x*z^3*sin(x + 3/10)*cos(7*y/10) + 0.0266*x*z^3 + 0.007*x*z^2*sin(7*y/10)*sin(x + 3/10) - 0.008*x*z^2*cos(7*y/10)*cos(x + 3/10) + 0.0049*x*z*sin(7*y/10)^2*sin(x + 3/10)^2 - 0.0149*x*z*sin(x + 3/10)^2*cos(7*y/10)^2 + 0.000199999999999999*x*z*sin(x + 3/10)*cos(7*y/10) + 0.01*x*z*cos(7*y/10)^2*cos(x + 3/10)^2 + 0.06*x*z + 0.014*x*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10) + 0.028*x*sin(7*y/10)*sin(x + 3/10) - 0.002*y^2*z^2 - 0.004*y^2*sin(x + 3/10)*cos(7*y/10) - 0.008*y^2 + 0.004*y*z^3 - 0.01*y*z^2*cos(7*y/10)*cos(x + 3/10) + 0.008*y*z*sin(x + 3/10)*cos(7*y/10) + 0.016*y*z - 0.02*y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10) - 0.04*y*cos(7*y/10)*cos(x + 3/10) + 0.00465625*z^4*sin(x + 3/10)*cos(7*y/10) - 0.017625*z^4 + 0.01*z^3*cos(7*y/10)*cos(x + 3/10) - 0.006125*z^2*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.018625*z^2*sin(x + 3/10)^2*cos(7*y/10)^2 - 0.00425*z^2*sin(x + 3/10)*cos(7*y/10) - 0.0125*z^2*cos(7*y/10)^2*cos(x + 3/10)^2 - 0.083*z^2 + 0.02*z*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10) + 0.04*z*cos(7*y/10)*cos(x + 3/10) - 0.01225*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10) - 0.0245*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.018625*sin(x + 3/10)^3*cos(7*y/10)^3 + 0.062*sin(x + 3/10)^2*cos(7*y/10)^2 - 0.025*sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2 + 0.7695*sin(x + 3/10)*cos(7*y/10) - 0.05*cos(7*y/10)^2*cos(x + 3/10)^2 - 0.55
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT EVAL(u,4/5,9/10,1/2) AS 'ue'
END
