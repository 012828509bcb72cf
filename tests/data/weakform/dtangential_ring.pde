{ DTANGENTIAL all round the outer circle: nothing fixes its constant. }
TITLE 'dtangential all round'
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  exact = ln(sqrt(x^2+y^2)) + x^2 + y^2 + x*y
EQUATIONS
  div(grad(u)) - 4 = 0
BOUNDARIES
  REGION 1
    START(1,0) DTANGENTIAL(u)=(-y*(2*x+y) + x*(2*y+x)) ARC(CENTER=0,0) ANGLE=360 TO FINISH
    START(0.5,0) VALUE(u)=exact ARC(CENTER=0,0) ANGLE=-360 TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
