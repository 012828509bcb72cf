{ coord=CARTESIAN3; order=2; sides=curved; regions=2; sheets=flat; layers=1; bc=NATURAL; term=integral_coef; run=nonlinear; report=table.
  u = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm198_cartesian3_nonlinear_natural'
COORDINATES CARTESIAN3
SELECT ERRLIM = 0.02  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -0.11*(-2*x/5 + z)*(-x/5 + z/2)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) + 149*(0.11*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + 1.1)*sin(x + 3/10)*cos(7*y/10)/200 - 0.11*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 - 2*z/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.055*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - 0.55
EQUATIONS div((1 + u^2/10)*(1 + INTEGRAL(u)/(1.18980697150001)/10)*grad(u)) + s = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = (-x/5 + z/2)*(11*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = ((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 - z/5 + cos(7*y/10)*cos(x + 3/10)/2))*(11*(x*y/5 - x*z/5 + z^2/4 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/100 + 11/10)/sqrt((2*x - 1)^2 + (2*y - 1)^2) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -0.00352*x^3*y + 0.00352*x^3*z + 0.003278*x^2*y^2*sin(x + 3/10)*cos(7*y/10) - 0.0022*x^2*y^2 - 0.006556*x^2*y*z*sin(x + 3/10)*cos(7*y/10) + 0.0132*x^2*y*z + 0.00616*x^2*y*sin(7*y/10)*sin(x + 3/10) + 0.003278*x^2*z^2*sin(x + 3/10)*cos(7*y/10) - 0.0154*x^2*z^2 - 0.00616*x^2*z*sin(7*y/10)*sin(x + 3/10) - 0.0088*x^2*sin(x + 3/10)*cos(7*y/10) - 0.0176*x^2 - 0.00176*x*y^3 + 0.00528*x*y^2*z - 0.0088*x*y^2*cos(7*y/10)*cos(x + 3/10) + 0.008195*x*y*z^2*sin(x + 3/10)*cos(7*y/10) - 0.02178*x*y*z^2 + 0.0176*x*y*z*cos(7*y/10)*cos(x + 3/10) - 0.00539*x*y*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.01639*x*y*sin(x + 3/10)^2*cos(7*y/10)^2 + 0.02178*x*y*sin(x + 3/10)*cos(7*y/10) - 0.011*x*y*cos(7*y/10)^2*cos(x + 3/10)^2 - 0.022*x*y - 0.008195*x*z^3*sin(x + 3/10)*cos(7*y/10) + 0.02926*x*z^3 + 0.0077*x*z^2*sin(7*y/10)*sin(x + 3/10) - 0.0088*x*z^2*cos(7*y/10)*cos(x + 3/10) + 0.00539*x*z*sin(7*y/10)^2*sin(x + 3/10)^2 - 0.01639*x*z*sin(x + 3/10)^2*cos(7*y/10)^2 + 0.000220000000000001*x*z*sin(x + 3/10)*cos(7*y/10) + 0.011*x*z*cos(7*y/10)^2*cos(x + 3/10)^2 + 0.066*x*z + 0.0154*x*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10) + 0.0308*x*sin(7*y/10)*sin(x + 3/10) - 0.0022*y^2*z^2 - 0.0044*y^2*sin(x + 3/10)*cos(7*y/10) - 0.0088*y^2 + 0.0044*y*z^3 - 0.011*y*z^2*cos(7*y/10)*cos(x + 3/10) + 0.0088*y*z*sin(x + 3/10)*cos(7*y/10) + 0.0176*y*z - 0.022*y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10) - 0.044*y*cos(7*y/10)*cos(x + 3/10) + 0.005121875*z^4*sin(x + 3/10)*cos(7*y/10) - 0.0193875*z^4 + 0.011*z^3*cos(7*y/10)*cos(x + 3/10) - 0.0067375*z^2*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.0204875*z^2*sin(x + 3/10)^2*cos(7*y/10)^2 - 0.004675*z^2*sin(x + 3/10)*cos(7*y/10) - 0.01375*z^2*cos(7*y/10)^2*cos(x + 3/10)^2 - 0.0913*z^2 + 0.022*z*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10) + 0.044*z*cos(7*y/10)*cos(x + 3/10) - 0.013475*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10) - 0.02695*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.0204875*sin(x + 3/10)^3*cos(7*y/10)^3 + 0.0682*sin(x + 3/10)^2*cos(7*y/10)^2 - 0.0275*sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2 + 0.84645*sin(x + 3/10)*cos(7*y/10) - 0.055*cos(7*y/10)^2*cos(x + 3/10)^2 - 0.605
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TABLE(u) POINTS=(3,3,3)
END
