{ Axisymmetric Laplace between R = 1 (u = 0) and R = 2 (u = 1), ends free: u = ln(R)/ln(2). }
TITLE 'Annulus in YCYLINDER'
SELECT
  ERRLIM = 1e-3
COORDINATES
  YCYLINDER('R','Z')
VARIABLES
  u
DEFINITIONS
  ex = ln(R)/ln(2)
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(1,0) NATURAL(u) = 0 LINE TO (2,0) VALUE(u) = 1 LINE TO (2,1) NATURAL(u) = 0 LINE TO (1,1) VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - ex)^2)/integral(1))/1 AS 'err_u'
END
