{ DTANGENTIAL held by a VALUE at one end only (a NATURAL side at the other). }
TITLE 'dtangential beside a natural side'
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  exact = x^2*y + exp(x)*sin(2*y)
  F = -2*y + 3*exp(x)*sin(2*y)
EQUATIONS
  dxx(u) + dyy(u) + F = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=exact LINE TO (1,0) DTANGENTIAL(u)=dy(exact) LINE TO (1,1) NATURAL(u)=dy(exact) LINE TO (0,1) VALUE(u)=exact LINE TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
