{ A standing wave as two first-order variables, the velocity starting at rest:
  dt(u) = v, dt(v) = del2(u), u = v = 0 on the boundary, u = sin(pi x) sin(pi y), v = 0 at t = 0.
  u = sin(pi x) sin(pi y) cos(pi sqrt2 t): u(0.5,0.5) = -1 at t = sqrt(2)/2;
  the energy integral(v^2 + |grad u|^2) = pi^2/2 = 4.9348022 at every time. }
TITLE 'Standing wave from rest'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u v
DEFINITIONS
  energy = integral(v^2 + dx(u)^2 + dy(u)^2)
INITIAL VALUES
  u = sin(pi*x)*sin(pi*y)
  v = 0
EQUATIONS
  u: dt(u) = v
  v: dt(v) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO sqrt(2)/2
PLOTS
  FOR T = sqrt(2)/2
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'u_half'
      REPORT energy AS 'energy'
END
