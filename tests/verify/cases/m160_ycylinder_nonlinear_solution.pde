{ coord=YCYLINDER; order=2; sides=curved; regions=2; sheets=none; layers=0; bc=SOLUTION; term=table; run=nonlinear; report=transfer.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm160_ycylinder_nonlinear_solution'
COORDINATES YCYLINDER('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 2
VARIABLES u
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  k = TABLE('m160_ycylinder_nonlinear_solution_k.txt')
  s = -(x*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x/2 + 1)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)/10 + x*(x/2 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)/10 - 149*x*(x/2 + 1)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)*sin(x + 3/10)*cos(7*y/10)/200 + x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)/2 + (x/2 + 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1))/x
EQUATIONS div(k*(1 + u^2/10)*grad(u)) + s = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = (x/2 + 1)*((x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*y - 1) + (2*x - 1)*(y/5 + cos(7*y/10)*cos(x + 3/10)/2))*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)/sqrt((2*x - 1)^2 + (2*y - 1)^2) + (x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 - u^2 ARC(CENTER=1/2,1/2) TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
  REGION 2 s = -x^4*y/1250 + 149*x^3*y^2*sin(x + 3/10)*cos(7*y/10)/100000 + 7*x^3*y*sin(7*y/10)*sin(x + 3/10)/2500 - x^3*y/625 - x^3*sin(x + 3/10)*cos(7*y/10)/500 - x^3/250 - x^2*y^3/625 + 149*x^2*y^2*sin(x + 3/10)*cos(7*y/10)/50000 - 3*x^2*y^2*cos(7*y/10)*cos(x + 3/10)/500 - 49*x^2*y*sin(7*y/10)^2*sin(x + 3/10)^2/20000 + 7*x^2*y*sin(7*y/10)*sin(x + 3/10)/1250 + 149*x^2*y*sin(x + 3/10)^2*cos(7*y/10)^2/20000 + 149*x^2*y*sin(x + 3/10)*cos(7*y/10)/10000 - x^2*y*cos(7*y/10)^2*cos(x + 3/10)^2/200 + 7*x^2*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10)/1000 + 7*x^2*sin(7*y/10)*sin(x + 3/10)/500 - x^2*sin(x + 3/10)*cos(7*y/10)/250 - x^2/125 - 3*x*y^3/1250 - 3*x*y^2*sin(x + 3/10)*cos(7*y/10)/500 - x*y^2*cos(7*y/10)*cos(x + 3/10)/100 - 3*x*y^2/250 - 49*x*y*sin(7*y/10)^2*sin(x + 3/10)^2/10000 + 149*x*y*sin(x + 3/10)^2*cos(7*y/10)^2/10000 - x*y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10)/50 + 149*x*y*sin(x + 3/10)*cos(7*y/10)/5000 - x*y*cos(7*y/10)^2*cos(x + 3/10)^2/100 - x*y*cos(7*y/10)*cos(x + 3/10)/25 - 49*x*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10)/8000 - 49*x*sin(7*y/10)^2*sin(x + 3/10)^2/4000 + 7*x*sin(7*y/10)*sin(x + 3/10)^2*cos(7*y/10)/500 + 7*x*sin(7*y/10)*sin(x + 3/10)/250 + 149*x*sin(x + 3/10)^3*cos(7*y/10)^3/16000 + 149*x*sin(x + 3/10)^2*cos(7*y/10)^2/4000 - x*sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2/80 + 1639*x*sin(x + 3/10)*cos(7*y/10)/4000 - x*cos(7*y/10)^2*cos(x + 3/10)^2/40 - y^2*sin(x + 3/10)*cos(7*y/10)/125 - 2*y^2/125 - y*sin(x + 3/10)^2*cos(7*y/10)^2/200 - 3*y*sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10)/100 - y*sin(x + 3/10)*cos(7*y/10)/50 - 3*y*cos(7*y/10)*cos(x + 3/10)/50 - 11*y/50 - 49*sin(7*y/10)^2*sin(x + 3/10)^3*cos(7*y/10)/4000 - 49*sin(7*y/10)^2*sin(x + 3/10)^2/2000 + 149*sin(x + 3/10)^3*cos(7*y/10)^3/8000 - sin(x + 3/10)^2*cos(7*y/10)^3*cos(x + 3/10)/80 + 149*sin(x + 3/10)^2*cos(7*y/10)^2/2000 - sin(x + 3/10)*cos(7*y/10)^3*cos(x + 3/10)^2/40 - sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10)/20 + 1639*sin(x + 3/10)*cos(7*y/10)/2000 - cos(7*y/10)^2*cos(x + 3/10)^2/20 - 11*cos(7*y/10)*cos(x + 3/10)/20 - y*sin(x + 3/10)^2*cos(7*y/10)^2/(200*x) - y*sin(x + 3/10)*cos(7*y/10)/(50*x) - 11*y/(50*x) - sin(x + 3/10)^2*cos(7*y/10)^3*cos(x + 3/10)/(80*x) - sin(x + 3/10)*cos(7*y/10)^2*cos(x + 3/10)/(20*x) - 11*cos(7*y/10)*cos(x + 3/10)/(20*x)
    START(3/5,3/5) LINE TO (1,3/5) TO (1,1) TO (3/5,1) TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TRANSFER(u) FILE 'm160_ycylinder_nonlinear_solution.xfr'
END
