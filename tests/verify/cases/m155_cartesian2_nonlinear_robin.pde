{ coord=CARTESIAN2; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=ROBIN; term=integral; run=nonlinear; report=integral_number.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm155_cartesian2_nonlinear_robin'
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -0.1*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.1*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1) + 149*(0.1*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + 1.0)*sin(x + 3/10)*cos(7*y/10)/200
EQUATIONS div((1 + u^2/10)*grad(u)) + s + (INTEGRAL(u) - (1.19696036605343)) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = 2*x*y/5 + ((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2))*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)/sqrt((2*x - 1)^2 + (2*y - 1)^2) + sin(x + 3/10)*cos(7*y/10) + 2 - 2*u ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -0.0016*x^3*y + 0.00298*x^2*y^2*sin(x + 3/10)*cos(7*y/10) + 0.0056*x^2*y*sin(7*y/10)*sin(x + 3/10) - 0.004*x^2*sin(x + 3/10)*cos(7*y/10) - 0.008*x^2 - 0.0016*x*y^3 - 0.008*x*y^2*cos(7*y/10)*cos(x + 3/10) - 0.0049*x*y*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.0149*x*y*sin(x + 3/10)^2*cos(7*y/10)^2 + 0.0298*x*y*sin(x + 3/10)*cos(7*y/10) - 0.01*x*y*cos(7*y/10)^2*cos(x + 3/10)^2 + 0.014*x*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10) + 0.028*x*sin(7*y/10)*sin(x + 3/10) - 0.004*y^2*sin(x + 3/10)*cos(7*y/10) - 0.008*y^2 - 0.02*y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10) - 0.04*y*cos(7*y/10)*cos(x + 3/10) - 0.01225*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10) - 0.0245*sin(7*y/10)^2*sin(x + 3/10)^2 + 0.018625*sin(x + 3/10)^3*cos(7*y/10)^3 + 0.0745*sin(x + 3/10)^2*cos(7*y/10)^2 - 0.025*sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2 + 0.8195*sin(x + 3/10)*cos(7*y/10) - 0.05*cos(7*y/10)^2*cos(x + 3/10)^2
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT INTEGRAL(u,2) AS 'ir'
END
