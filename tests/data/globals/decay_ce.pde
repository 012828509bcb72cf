{ The slowest mode of the unit square decaying: u_t = div(grad(u)), u = 0 on the
  boundary, u = sin(pi x) sin(pi y) at t = 0. Known answer: u = sin(pi x) sin(pi y)
  exp(-2 pi^2 t), so u(1/2,1/2) = 0.3727078389 at t = 0.05 and 0.1389111331 at t = 0.1.
  Tolerance: 5e-3 relative. The run logs the integrated residual measure of CENTER_ERROR,
  below 1 and changing from step to step. }
TITLE 'Decaying mode of a square'
SELECT
  ERRLIM = 1e-4
  CENTER_ERROR=on
VARIABLES
  u
INITIAL VALUES
  u = sin(pi*x)*sin(pi*y)
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR T = 0.05 0.1
    CONTOUR(u)
    SUMMARY
      REPORT EVAL(u,0.5,0.5)
HISTORIES
  HISTORY(u) AT (0.5,0.5)
END
