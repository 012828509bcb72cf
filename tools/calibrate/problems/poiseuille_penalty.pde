{ 2 x 1 channel by a penalty p = -K div(U), K = 3e4, parabolic inflow: u = 4y(1-y), v = 0. }
TITLE 'Penalty channel, its error read by the estimate'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u v
DEFINITIONS
  K = 3e4
  p = -K*(dx(u) + dy(v))
EQUATIONS
  u: dx(dx(u) - p) + dy(dy(u)) = 0
  v: dx(dx(v)) + dy(dy(v) - p) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (2,0)
    NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (2,1)
    VALUE(u) = 0 VALUE(v) = 0 LINE TO (0,1)
    VALUE(u) = 4*y*(1 - y) VALUE(v) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - 4*y*(1 - y))^2)/integral(1))/1 AS 'err_u'
    REPORT sqrt(integral(v^2)/integral(1)) AS 'abs_v'
END
