{ Stokes flow between two circles, the inner one (r = 1) turning at speed 1 and the outer one
  (r = 2) held still, viscosity 1, the pressure taken by a penalty p = -K div(U), K = 1e4, to
  ERRLIM 1e-3. Exact (Couette): u_theta = A r + B/r with A + B = 1 and 2 A + B/2 = 0, so
  A = -1/3, B = 4/3; u = -(A + B/r^2) y, v = (A + B/r^2) x, the pressure constant (zero here).
  U and V range over -1..1. The grid's RMS estimate reads the RMS error of U and V (relative to
  their range 2) within a factor of three (it read 5.2 times it: the locking factor stood for
  twice the flow's soft stiffness, and the cells along the walls read the locked pressure). }
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
