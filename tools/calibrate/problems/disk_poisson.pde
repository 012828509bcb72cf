{ Unit disk, div(grad u) + 1 = 0, u = 0 on the circle: u = (1 - r^2)/4, range 1/4. }
TITLE 'Poisson on a disk'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ex = (1 - x^2 - y^2)/4
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(1,0) VALUE(u) = 0 ARC(CENTER=0,0) ANGLE=360 TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/0.25 AS 'err_u'
END
