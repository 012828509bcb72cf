{ DTANGENTIAL on a quarter circle between two VALUE sides: u = x^2 y + exp(x) sin(2y). }
TITLE 'dtangential on an arc'
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  exact = x^2*y + exp(x)*sin(2*y)
  F = -2*y + 3*exp(x)*sin(2*y)
  { the tangent of the counter-clockwise arc about the origin is (-y, x)/r }
  ut = (-y*dx(exact) + x*dy(exact))/sqrt(x^2+y^2)
EQUATIONS
  dxx(u) + dyy(u) + F = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=exact LINE TO (1,0) DTANGENTIAL(u)=ut ARC(CENTER=0,0) ANGLE=90 VALUE(u)=exact LINE TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
    REPORT VAL(u-exact,0.6,0.6) AS 'pterr'
END
