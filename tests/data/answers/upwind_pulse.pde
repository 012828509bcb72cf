{ A Gaussian pulse advected at unit speed with diffusion eps = 1e-3, upwinding on.
  Exact on the line: ue = exp(-(x-x0-t)^2/(s0^2+4 eps t))/sqrt(1+4 eps t/s0^2), so the
  peak at t = 0.5 is u(0.75) = 1/sqrt(1.8) = 0.745356. }
TITLE 'advected pulse'
SELECT
  UPWIND = on
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  eps = 1e-3  s0 = 0.05  x0 = 0.25
  ue = exp(-(x - x0 - t)^2/(s0^2 + 4*eps*t))/sqrt(1 + 4*eps*t/s0^2)
INITIAL VALUES
  u = exp(-(x - x0)^2/s0^2)
EQUATIONS
  eps*div(grad(u)) - dx(u) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    NATURAL(u)=0 LINE TO (1,0.05)
    NATURAL(u)=0 LINE TO (0,0.05)
    VALUE(u)=0 LINE TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
  SUMMARY PRINT REPORT t REPORT EVAL(u,0.75,0.025) REPORT EVAL(ue,0.75,0.025) REPORT sqrt(INTEGRAL((u-ue)^2)/0.05) REPORT GLOBALMIN(u)
END
