{ Convection-diffusion across the unit square, Pe = 100: u = (exp(Pe (x-1)) - exp(-Pe))/(1 - exp(-Pe)),
  a boundary layer of width 0.01 at x = 1. }
TITLE 'Convection layer Pe 100'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  Pe = 100
  uex = (exp(Pe*(x - 1)) - exp(-Pe))/(1 - exp(-Pe))
EQUATIONS
  div(grad(u)) - Pe*dx(u) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) VALUE(u) = 1 LINE TO (1,1) NATURAL(u) = 0 LINE TO (0,1) VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - uex)^2)/integral(1))/1 AS 'err_u'
END
