{ DTANGENTIAL on the top side, walked leftward (tangent -x). }
TITLE 'dtangential on the top, leftward'
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
    START(0,0) VALUE(u)=exact LINE TO (1,0) TO (1,1) DTANGENTIAL(u)=-dx(exact) LINE TO (0,1) VALUE(u)=exact LINE TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
