{ The mode of source_in_time driven by a source read from a table in time: u_t = div(grad(u)) + g(t) s
  on the unit square, u = 0 on its sides, s = sin(pi x) sin(pi y), g = 2 pi^2 cos(4t) - 4 sin(4t) tabled at
  401 times. Exact: u = cos(4t) s (the table's interpolation moves it by some 1e-5), u(1/2, 1/2) = cos(4) =
  -0.6536436 at t = 1. }
TITLE 'Source in time from a table'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  s = sin(pi*x)*sin(pi*y)
  f = TABLE('source_table_in_time.tab')*s
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
