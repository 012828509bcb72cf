{ Lid-driven cavity at Re = 100 in penalty form (p = -K div(U), K/nu = 1e5) on one fixed
  mesh, with the default change limit. The clamp bends a step off Newton's direction node
  by node, and the penalty turns that into a residual larger than the step started from;
  with the line search's step kept where the clamp gives back its decrease, and each step
  solved to its residual, Newton meets its error limit within NEWTON = 10 steps (7). }
TITLE 'Lid-driven cavity Re 100'
SELECT
  ERRLIM = 1e-3
  REGRID = OFF
  NEWTON = 10
VARIABLES
  u v
DEFINITIONS
  Re = 100  nu = 1/Re  K = 1000
  MESH_SPACING = 0.04
  p = -K*(dx(u) + dy(v))
EQUATIONS
  u: dx(nu*dx(u) - p) + dy(nu*dy(u)) = u*dx(u) + v*dy(u)
  v: dx(nu*dx(v)) + dy(nu*dy(v) - p) = u*dx(v) + v*dy(v)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) TO (1,1)
    VALUE(u) = 1 LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
END
