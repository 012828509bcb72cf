{ u'' = 0 on the strip 1 x 0.2, u(0) = 0, u(1) = 1 + INTEGRAL(u): u = c x, c = 1 + 0.1 c, c = 10/9: u(0.5) = 5/9 }
TITLE 'global_integral_value'
SELECT ERRLIM=1e-5
VARIABLES u
EQUATIONS div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 1 + integral(u) LINE TO (1,0.2)
    NATURAL(u) = 0 LINE TO (0,0.2)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT REPORT val(u, 0.5, 0.1) AS 'u'
END
