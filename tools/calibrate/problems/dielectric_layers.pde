{ Potential across a 2 x 1 capacitor, permittivity 5 below y = 0.3 and 1 above, V = 0 at y = 0,
  1 at y = 1, sides free. D is continuous: V = a y below, a 0.3 + 5 a (y - 0.3) above, a = 1/3.8. }
TITLE 'Layered dielectric'
SELECT
  ERRLIM = 1e-3
VARIABLES
  V
DEFINITIONS
  eps = 1
  a = 1/3.8
  ex = max(a*y, 0.3*a + 5*a*(y - 0.3))
EQUATIONS
  div(eps*grad(V)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(V) = 0 LINE TO (2,0) NATURAL(V) = 0 LINE TO (2,1) VALUE(V) = 1 LINE TO (0,1) NATURAL(V) = 0 LINE TO FINISH
  REGION 2 eps = 5
    START(0,0) LINE TO (2,0) TO (2,0.3) TO (0,0.3) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((V - ex)^2)/integral(1))/1 AS 'err_V'
END
