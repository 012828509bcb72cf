{ coord=CARTESIAN2; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=VALUE; term=integral_coef; run=nonlinear; report=tecplot.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm158_cartesian2_nonlinear_value'
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -0.11*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.11*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1) + 149*(0.11*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + 1.1)*sin(x + 3/10)*cos(7*y/10)/200
EQUATIONS div((1 + u^2/10)*(1 + INTEGRAL(u)/(1.19696036605343)/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) VALUE(u) = ex ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -0.00176*x^3*y + 0.003278*x^2*y^2*sin(x + 3/10)*cos(7*y/10) + 0.00616*x^2*y*sin(7*y/10)*sin(x + 3/10) - 0.0044*x^2*sin(x + 3/10)*cos(7*y/10) - 0.0088*x^2 - 0.00176*x*y^3 - 0.0088*x*y^2*cos(7*y/10)*cos(x + 3/10) - 0.00539*x*y*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.01639*x*y*sin(x + 3/10)^2*cos(7*y/10)^2 + 0.03278*x*y*sin(x + 3/10)*cos(7*y/10) - 0.011*x*y*cos(7*y/10)^2*cos(x + 3/10)^2 + 0.0154*x*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10) + 0.0308*x*sin(7*y/10)*sin(x + 3/10) - 0.0044*y^2*sin(x + 3/10)*cos(7*y/10) - 0.0088*y^2 - 0.022*y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10) - 0.044*y*cos(7*y/10)*cos(x + 3/10) - 0.013475*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10) - 0.02695*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.0204875*sin(x + 3/10)^3*cos(7*y/10)^3 + 0.08195*sin(x + 3/10)^2*cos(7*y/10)^2 - 0.0275*sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2 + 0.90145*sin(x + 3/10)*cos(7*y/10) - 0.055*cos(7*y/10)^2*cos(x + 3/10)^2
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TECPLOT(u)
END
