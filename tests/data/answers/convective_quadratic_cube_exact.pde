{ Convection-diffusion in the unit cube whose exact answer u = x^2 - 2 y z + x z is a quadratic:
  (1,1,1).grad(u) - eps div(grad(u)) = f, eps = 0.01, u held to the answer on every side. Quadratic
  cells hold it exactly, and with upwinding on (the default) the streamline terms vanish on it
  too (the diffusion's second derivatives of the basis included), so maxerr is 0 to rounding. }
TITLE 'Exact quadratic under convection in a cube'
COORDINATES
  CARTESIAN3
SELECT
  ORDER = 2
VARIABLES
  u
DEFINITIONS
  eps = 0.01
  ex = x^2 - 2*y*z + x*z
  src = -2*eps + (2*x + z) + (-2*z) + (-2*y + x)
EQUATIONS
  dx(u) + dy(u) + dz(u) - eps*div(grad(u)) = src
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 VALUE(u) = ex
  REGION 1
    START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT globalmax(abs(u - ex)) AS 'maxerr'
END
