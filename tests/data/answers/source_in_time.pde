{ A mode driven by a source that swings in time: u_t = div(grad(u)) + f on the unit square, u = 0 on
  its sides, f = (2 pi^2 cos(4t) - 4 sin(4t)) sin(pi x) sin(pi y). Exact: u = cos(4t) sin(pi x) sin(pi y),
  u(1/2, 1/2) = cos(4) = -0.6536436 at t = 1. }
TITLE 'Source swinging in time'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  s = sin(pi*x)*sin(pi*y)
  f = (2*pi^2*cos(4*t) - 4*sin(4*t))*s
INITIAL VALUES
  u = s
EQUATIONS
  div(grad(u)) + f = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'centre'
END
