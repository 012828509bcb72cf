{ Clamped unit square plate under a uniform load q/D = 1 in mixed form: two Poisson-type
  equations, the w-w block zero, so the symmetric system is indefinite. The deflection at
  the centre is 0.00126532 q a^4/D (converged series). }
TITLE 'Clamped plate, mixed form'
SELECT
  ERRLIM = 1e-3
  GRIDLIMIT = 2
VARIABLES
  w
  M
EQUATIONS
  M: div(grad(w)) - M = 0
  w: div(grad(M)) - 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(w)=0 NATURAL(M)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(w, 0.5, 0.5) AS 'wc'
END
