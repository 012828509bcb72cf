{ Poisson in the unit square with fluxes on every side that balance the source, u = x*y/5 + sin(4*x + 3/10)*cos(3*y)/2 up to
  a constant: u(0.7,0.8) - u(0,0) within 4 ERRLIM (two points' values, each within 2 ERRLIM of
  the range, 1.1). }
TITLE 'pure natural'
SELECT ERRLIM = 1e-5
VARIABLES u
EQUATIONS div(grad(u)) + (25*sin(4*x + 3/10)*cos(3*y)/2) = 0
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u) = -x/5 LINE TO (1,0) NATURAL(u) = y/5 + 2*cos(43/10)*cos(3*y) LINE TO (1,1)
    NATURAL(u) = x/5 - 3*sin(3)*sin(4*x + 3/10)/2 LINE TO (0,1) NATURAL(u) = -y/5 - 2*cos(3/10)*cos(3*y) LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT val(u,0.7,0.8) - val(u,0,0) AS 'diff'
    REPORT abs(val(u,0.7,0.8) - val(u,0,0) - (-sin(3/10)/2 + sin(31/10)*cos(12/5)/2 + 14/125)) AS 'err'
END
