{ coord=XCYLINDER; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=NATURAL; term=val; run=nonlinear; report=bintegral.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm218_xcylinder_nonlinear_natural'
COORDINATES XCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -(y*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)/10 + y*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)/10 - 149*y*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(x + 3/10)*cos(7*y/10)/200 + (x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1))/y
EQUATIONS div((1 + u^2/10)*grad(u)) + s + (VAL(u,4/5,9/10) - (sin(11/10)*cos(63/100)/2 + 143/125)) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = ((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2))*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)/sqrt((2*x - 1)^2 + (2*y - 1)^2) ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -3*x^3*y/1250 + 149*x^2*y^2*sin(x + 3/10)*cos(7*y/10)/50000 + 7*x^2*y*sin(7*y/10)*sin(x + 3/10)/1000 - x^2*sin(x + 3/10)*cos(7*y/10)/125 - 2*x^2/125 - x*y^3/625 - x*y^2*cos(7*y/10)*cos(x + 3/10)/125 - 49*x*y*sin(7*y/10)^2*sin(x + 3/10)^2/10000 + 149*x*y*sin(x + 3/10)^2*cos(7*y/10)^2/10000 + 149*x*y*sin(x + 3/10)*cos(7*y/10)/5000 - x*y*cos(7*y/10)^2*cos(x + 3/10)^2/100 + 21*x*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10)/1000 + 21*x*sin(7*y/10)*sin(x + 3/10)/500 - x*sin(x + 3/10)^2*cos(7*y/10)^2/(200*y) - x*sin(x + 3/10)*cos(7*y/10)/(50*y) - 11*x/(50*y) - y^2*sin(x + 3/10)*cos(7*y/10)/250 - y^2/125 - y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10)/50 - y*cos(7*y/10)*cos(x + 3/10)/25 - 49*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10)/4000 - 49*sin(7*y/10)^2*sin(x + 3/10)^2/2000 + 149*sin(x + 3/10)^3*cos(7*y/10)^3/8000 + 149*sin(x + 3/10)^2*cos(7*y/10)^2/2000 - sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2/40 + 1639*sin(x + 3/10)*cos(7*y/10)/2000 - cos(7*y/10)^2*cos(x + 3/10)^2/20 + 7*sin(7*y/10)*sin(x + 3/10)^3*cos(7*y/10)^2/(800*y) + 7*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10)/(200*y) + 77*sin(7*y/10)*sin(x + 3/10)/(200*y)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
      REPORT BINTEGRAL(u) AS 'ib'
END
