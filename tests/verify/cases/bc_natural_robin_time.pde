{ u_t = div(grad(u)) + s in the unit square, u = t*y^2 + (x^2 + y)*exp(-t): du/dn given below and on the right,
  du/dn = g - u on top, u given on the left. }
TITLE 'fluxes in time'
SELECT ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = t*y^2 + (x^2 + y)*exp(-t)
INITIAL VALUES u = x^2 + y
EQUATIONS div(grad(u)) + (-2*t + y^2 - (x^2 + y)*exp(-t) - 2*exp(-t)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u) = -exp(-t) LINE TO (1,0) NATURAL(u) = 2*exp(-t) LINE TO (1,1)
    NATURAL(u) = 3*t + (x^2 + 1)*exp(-t) + exp(-t) - u LINE TO (0,1) VALUE(u) = ex LINE TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
    SUMMARY PRINT REPORT val(u,1,1) AS 'u' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
