{ DNORMAL with a time-dependent value: u = exp(-t) cos(x), du/dx = -exp(-t) sin(2) at x = 2. }
TITLE 'time dnormal'
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  exact = exp(-t)*cos(x)*(1+0*y) + 0*t
INITIAL VALUES
  u = cos(x)
EQUATIONS
  dt(u) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (2,0) DNORMAL(u)=-exp(-t)*sin(2) LINE TO (2,1) NATURAL(u)=0 LINE TO (0,1) DNORMAL(u)=0 LINE TO FINISH
TIME 0 TO 1
PLOTS
  FOR t = 1
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
