{ Conductivity 1 for x < 0.5 and 4 beyond, u = 0 at x = 0, 1 at x = 1, sides free. The flux is
  continuous: u = 1.6 x, then 0.6 + 0.4 x. }
TITLE 'Two materials'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  k = 1
  ex = min(1.6*x, 0.6 + 0.4*x)
EQUATIONS
  div(k*grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) VALUE(u) = 1 LINE TO (1,1) NATURAL(u) = 0 LINE TO (0,1) VALUE(u) = 0 LINE TO FINISH
  REGION 2 k = 4
    START(0.5,0) LINE TO (1,0) TO (1,1) TO (0.5,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - ex)^2)/integral(1))/1 AS 'err_u'
END
