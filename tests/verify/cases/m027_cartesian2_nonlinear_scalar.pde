{ coord=CARTESIAN2; order=1; sides=straight; regions=1; sheets=none; layers=0; bc=SCALAR; term=integral; run=nonlinear; report=table.
  u = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1; tolerances: values 10 ERRLIM |u| (20 in time, and twice that at export grid points or nodes), the relative L2 error 10 ERRLIM (20), first derivatives 30 ERRLIM |u| (100 for ORDER 1), second
  300 ERRLIM |u| (1000 for ORDER 2), integrals 10 ERRLIM (|I|/|u| + the measure). }
TITLE 'm027_cartesian2_nonlinear_scalar'
SELECT ERRLIM = 0.001  ORDER = 1
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  ex = x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1
  s = -0.1*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*(2*x/5 - 7*sin(7*y/10)*sin(x + 3/10)/10)*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1) - 0.1*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*(2*y/5 + cos(7*y/10)*cos(x + 3/10))*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1) + 149*(0.1*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2 + 1.0)*sin(x + 3/10)*cos(7*y/10)/200
EQUATIONS
  u: div((1 + u^2/10)*grad(u)) + s + (INTEGRAL(u) - (1.54615260840080)) = 0
  c: c*(1.54615260840080) - INTEGRAL(u) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*((y/5 + cos(7*y/10)*cos(x + 3/10)/2)*((x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)^2/10 + 1)) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
  TABLE(u) POINTS=(3,3)
END
