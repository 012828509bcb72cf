{ A channel periodic in y with a scalar unknown G that sets the mean: lap u + G = 0, INTEGRAL(u) = 1,
  u = 0 on x = 0 and x = 1, the top side periodic onto the bottom. Exact: G = 12, u = 6 x (1 - x):
  1.5 at x = 0.5 for every y, L2 error 0 (quadratic cells hold it). }
TITLE 'periodic channel with a scalar'
SELECT ERRLIM = 1e-4
VARIABLES u
SCALAR VARIABLES G
EQUATIONS
  u: div(grad(u)) + G = 0
  G: INTEGRAL(u) = 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    PERIODIC(x, y-1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT G AS 'G'
    REPORT val(u, 0.5, 0.1) AS 'y01'
    REPORT val(u, 0.5, 0.9) AS 'y09'
    REPORT sqrt(integral((u - 6*x*(1-x))^2)) AS 'L2'
END
