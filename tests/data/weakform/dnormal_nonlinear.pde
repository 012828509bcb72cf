{ DNORMAL on a circle with a solution-dependent flux (1+u^2) grad u: u = 1 + r^2/4, du/dr = 1/2 at r = 1. }
TITLE 'nonlinear dnormal on a circle'
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  r2 = x^2+y^2
  exact = 1 + r2/4
  k = 1 + u^2
  ke = 1 + exact^2
  f = ke*1 + 2*exact*(r2/4)
EQUATIONS
  div(k*grad(u)) - f = 0
BOUNDARIES
  REGION 1
    START(1,0) DNORMAL(u)=0.5 ARC(CENTER=0,0) ANGLE=360 TO FINISH
    START(0.5,0) VALUE(u)=exact ARC(CENTER=0,0) ANGLE=-360 TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
