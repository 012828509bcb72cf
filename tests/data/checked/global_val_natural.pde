{ u'' = 0 on the strip, u(0) = 0, u'(1) = 1 - u(0.5): u = c x, c = 1 - c/2, c = 2/3: u(0.5) = 1/3 }
TITLE 'global_val_natural'
SELECT ERRLIM=1e-5
VARIABLES u
EQUATIONS div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    NATURAL(u) = 1 - val(u,0.5,0.1) LINE TO (1,0.2)
    NATURAL(u) = 0 LINE TO (0,0.2)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT REPORT val(u, 0.5, 0.1) AS 'u'
END
