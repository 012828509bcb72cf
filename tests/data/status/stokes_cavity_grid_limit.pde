{ Stokes flow in a lid-driven cavity under a penalty pressure (K/nu = 1e5): the lid's corners,
  where the velocity jumps, hold cells of both velocities above ERRLIM on every grid, and the run
  ends at the grid limit naming them. }
TITLE 'Stokes cavity at the grid limit'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u v
DEFINITIONS
  nu = 0.01  K = 1000
  p = -K*(dx(u) + dy(v))
EQUATIONS
  u: dx(nu*dx(u) - p) + dy(nu*dy(u)) = 0
  v: dx(nu*dx(v)) + dy(nu*dy(v) - p) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) TO (1,1)
    VALUE(u) = 1 LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
END
