{ A conductivity that grows in time: u_t = div(k grad(u)), k = 1 + 4 t, u = 0 at x = 0 and 1, insulated on the
  long sides, u = sin(pi x) at t = 0. Exact: u = exp(-pi^2 (t + 2 t^2)) sin(pi x): u(0.5) = 0.3059442 at t = 0.1,
  0.0630713 at t = 0.2 and 0.0087613 at t = 0.3. }
TITLE 'Conductivity growing in time'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  k = 1 + 4*t
INITIAL VALUES
  u = sin(pi*x)
EQUATIONS
  div(k*grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,0.2)
    NATURAL(u) = 0 LINE TO (0,0.2)
    VALUE(u) = 0 LINE TO FINISH
TIME 0 TO 0.3
PLOTS
  FOR T = 0.2 0.3
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.1) AS 'mid'
END
