{ A rate written in a definition (rate = dt(u)) beside a source that varies in time, with
  fixed steps: u = (x^2 + y^2) exp(-t/2) exactly (the quadratic cells hold it, so the
  steps alone make the error); u(0.5,0.5) at t = 0.2 is 0.5 exp(-0.1) = 0.452418709. }
TITLE 'rate_definition_source'
SELECT ERRLIM = 1e-4  FIXDT  DELTAT = 0.05
VARIABLES u
INITIAL VALUES u = x^2 + y^2
DEFINITIONS
  ex = (x^2 + y^2)*exp(-t/2)
  s = -(x^2 + y^2)*exp(-t/2)/2 - 4*exp(-t/2)
  rate = dt(u)
EQUATIONS div(grad(u)) + s = rate
BOUNDARIES
  REGION 1 START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.2
    SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u 0.452418709'
      REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'relL2'
END
