{ Couette flow between r = 1 (turning, speed 1) and r = 2 (held) by a penalty, K = 1e4:
  u_theta = r(-1/3 + 4/(3 r^2)); u and v range over [-1, 1]. }
TITLE 'Penalty Couette flow in an annulus'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u v
DEFINITIONS
  K = 1e4
  p = -K*(dx(u) + dy(v))
  w = -1/3 + (4/3)/(x^2 + y^2)
  ue = -w*y
  ve = w*x
EQUATIONS
  u: dx(dx(u) - p) + dy(dy(u)) = 0
  v: dx(dx(v)) + dy(dy(v) - p) = 0
BOUNDARIES
  REGION 1
    START(2,0) VALUE(u) = 0 VALUE(v) = 0 ARC(CENTER=0,0) ANGLE=360 TO FINISH
    START(1,0) VALUE(u) = -y VALUE(v) = x ARC(CENTER=0,0) ANGLE=-360 TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - ue)^2)/integral(1))/2 AS 'err_u'
    REPORT sqrt(integral((v - ve)^2)/integral(1))/2 AS 'err_v'
END
