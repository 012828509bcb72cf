{ L-shape with its re-entrant corner at 0, u = r^(2/3) sin(2t/3) (range 2^(1/3)). }
TITLE 'L-shape corner to an error limit'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  r = sqrt(x^2 + y^2)
  th = atan2(y, x)
  ex = r^(2/3)*sin(2*th/3)
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) VALUE(u) = ex LINE TO (1,1) TO (-1,1) TO (-1,-1) TO (0,-1)
      VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(1))/2^(1/3) AS 'err_u'
END
