{ Poisson in the unit square, u = x^2 + exp(x)*sin(y), du/dn = g - 2u on the right side. }
TITLE 'robin'
SELECT NGRID = 8  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = x^2 + exp(x)*sin(y)
EQUATIONS div(grad(u)) + (-2) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u) = ex LINE TO (1,0) NATURAL(u) = 3*exp(1)*sin(y) + 4 - 2*u LINE TO (1,1)
    VALUE(u) = ex LINE TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,1,0.5) AS 'u' REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
