{ Poisson in the unit square with fluxes on every side, u = exp(-300*(x - 1/2)^2 - 300*(y - 1/2)^2) up to a constant:
  u(1/2,1/2) - u(0,0) = 1 - exp(-150) within 15 ERRLIM (12 and 10 ERRLIM at 1e-3 and 1e-4, as
  with a value side: the peak's point value). }
TITLE 'pure natural peaked'
SELECT ERRLIM = 1e-3
VARIABLES u
EQUATIONS div(grad(u)) + ((-90000*(2*x - 1)^2 - 90000*(2*y - 1)^2 + 1200)*exp(-75*(2*x - 1)^2 - 75*(2*y - 1)^2)) = 0
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u) = -300*exp(-300*(x - 1/2)^2 - 75) LINE TO (1,0) NATURAL(u) = -300*exp(-300*(y - 1/2)^2 - 75) LINE TO (1,1)
    NATURAL(u) = -300*exp(-300*(x - 1/2)^2 - 75) LINE TO (0,1) NATURAL(u) = -300*exp(-300*(y - 1/2)^2 - 75) LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT val(u,0.5,0.5) - val(u,0,0) AS 'diff'
    REPORT abs(val(u,0.5,0.5) - val(u,0,0) - (1 - exp(-150))) AS 'err'
END
