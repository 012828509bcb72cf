{ The linear sine cube of linear_cube_errlim held to NODELIMIT = 3000: ERRLIM 1e-2 needs some
  15000 nodes, so the refiner stops splitting at the node limit with cells still above the
  error limit. The run keeps the last grid's answer and says the limit was not met (exit 3,
  NODE LIMIT: NOT CONVERGED); it ended as converged. }
TITLE 'Sine cube on linear cells at a node limit'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-2
  ORDER = 1
  NODELIMIT = 3000
VARIABLES
  u
DEFINITIONS
  ex = sin(pi*x)*sin(pi*y)*sin(pi*z)
EQUATIONS
  div(grad(u)) + 3*pi^2*ex = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT globalmax(abs(u - ex)) AS 'maxerr'
END
