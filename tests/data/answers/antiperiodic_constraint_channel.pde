{ A channel antiperiodic in y with a constraint: lap u + 2 k^2 s = 0, s = sin(pi x) cos(pi y), k^2 = 2 pi^2,
  CONSTRAINTS INTEGRAL(u s) = 1/4, u = 0 on x = 0 and x = 1, the top side antiperiodic onto the bottom.
  The multiplier takes half the source: exact u = s, 1 at (0.5, 0), -1 at (0.5, 1), 0.6545085 at
  (0.3, 0.2). A looser check pass that solved the multiplier whole again undid part of the grid's
  solve: "Linear Solve Diverged" on the third grid. }
TITLE 'antiperiodic channel with a constraint'
SELECT ERRLIM = 1e-4
VARIABLES u
DEFINITIONS
  s = sin(pi*x)*cos(pi*y)
EQUATIONS
  u: div(grad(u)) + 4*pi^2*s = 0
CONSTRAINTS
  INTEGRAL(u*s) = 0.25
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    ANTIPERIODIC(x, y-1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0) AS 'y0'
    REPORT val(u, 0.5, 1) AS 'y1'
    REPORT val(u, 0.3, 0.2) AS 'p'
    REPORT sqrt(integral((u - s)^2)) AS 'L2'
END
