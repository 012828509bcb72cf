{ div((1 + u^2) grad u) = 0 in a 1 x 0.2 strip, u = 0 at x = 0 and 1 at x = 1, sides free. The flux
  u + u^3/3 is linear, = 4x/3, so u = (2x + s)^(1/3) - (s - 2x)^(1/3) with s = sqrt(4x^2 + 1). }
TITLE 'Nonlinear conductivity strip'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  s = sqrt(4*x^2 + 1)
  ex = (2*x + s)^(1/3) - (s - 2*x)^(1/3)
EQUATIONS
  div((1 + u^2)*grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) VALUE(u) = 1 LINE TO (1,0.2) NATURAL(u) = 0 LINE TO (0,0.2) VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - ex)^2)/integral(1))/1 AS 'err_u'
END
