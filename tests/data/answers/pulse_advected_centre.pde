{ A Gaussian pulse carried by the velocity (0.8, -0.4) and spreading with D = 0.02 on [-0.7,1.8] x [-1.2,0.7],
  u = 0 on the boundary (0.8 or more from the pulse at t = 1):
  u = s0^2/s^2 exp(-((x - 0.8 t)^2 + (y + 0.4 t)^2)/(2 s^2)), s^2 = s0^2 + 2 D t, s0^2 = 0.01.
  The centre integral(x u)/integral(u) = 0.8 t: 0.8 at t = 1; the mass 2 pi s0^2 = 0.0628319 less 1.65e-5 taken
  by the side y = -1.2: 0.0628154 at t = 1. }
TITLE 'Gaussian pulse, upwinding in time'
SELECT
  ERRLIM = 1e-5
VARIABLES
  u
DEFINITIONS
  D = 0.02
  vx = 0.8
  vy = -0.4
  s02 = 0.01
INITIAL VALUES
  u = exp(-(x^2+y^2)/(2*s02))
EQUATIONS
  div(D*grad(u)) - vx*dx(u) - vy*dy(u) = dt(u)
BOUNDARIES
  REGION 1
    START(-0.7,-1.2) VALUE(u) = 0 LINE TO (1.8,-1.2) TO (1.8,0.7) TO (-0.7,0.7) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY EXPORT
      REPORT integral(x*u)/integral(u) AS 'xc'
      REPORT integral(u) AS 'mass'
      REPORT val(u, 0.8, -0.4) AS 'peak'
END
