{ Poisson in the unit square, u = x^2 + exp(x)*sin(y), fluxes given on three sides. }
TITLE 'natural'
SELECT NGRID = 8  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = x^2 + exp(x)*sin(y)
EQUATIONS div(grad(u)) + (-2) = 0
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u) = -exp(x)*cos(y) LINE TO (1,0) NATURAL(u) = 2*x + exp(x)*sin(y) LINE TO (1,1)
    NATURAL(u) = exp(x)*cos(y) LINE TO (0,1) VALUE(u) = ex LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,1,0.5) AS 'u' REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
