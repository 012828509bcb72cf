{ A channel periodic in y with a constraint: lap u + 2 k^2 s = 0, s = sin(pi x) cos(2 pi y), k^2 = 5 pi^2,
  CONSTRAINTS INTEGRAL(u s) = 1/4, u = 0 on x = 0 and x = 1, the top side periodic onto the bottom. The
  multiplier takes half the source: exact u = s, 1 at (0.5, 0) and (0.5, 1), 0.25 at (0.3, 0.2). Each
  pass solves for the multiplier whole, so the residual kept between passes leaves its load out; read
  as the pass's error it stayed at 3e-4 and ended the run on its third grid as diverged. }
TITLE 'periodic channel with a constraint'
SELECT ERRLIM = 1e-3
VARIABLES u
DEFINITIONS
  s = sin(pi*x)*cos(2*pi*y)
EQUATIONS
  u: div(grad(u)) + 10*pi^2*s = 0
CONSTRAINTS
  INTEGRAL(u*s) = 0.25
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    PERIODIC(x, y-1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0) AS 'y0'
    REPORT val(u, 0.5, 1) AS 'y1'
    REPORT val(u, 0.3, 0.2) AS 'p'
    REPORT sqrt(integral((u - s)^2)) AS 'L2'
END
