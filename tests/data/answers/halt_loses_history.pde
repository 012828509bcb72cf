{ A run that halts rightly: dt(u) = div(k*grad(u)) with NATURAL(u) = -u^4 on every
  side feeds heat in (NATURAL is the outward flux of the divergence terms of left minus right), so the
  lumped answer (1 - 12 t)^(-1/3) blows up at t = 1/12; the run halts at t = 0.0827 ("HALT: Timestep is
  below threshhold"), which is right; the histories sampled up to the halt are printed. }
TITLE 'Radiative cooling'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  k = 1000
INITIAL VALUES
  u = 1
EQUATIONS
  dt(u) = div(k*grad(u))
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = -u^4 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
HISTORIES
  HISTORY(val(u,0.5,0.5), globalmin(u), globalmax(u)) PRINT
PLOTS
  FOR T = 0.25
    SUMMARY EXPORT FILE = 'a.txt'
      REPORT integral(u) AS 'u025'
  FOR T = 1
    SUMMARY EXPORT FILE = 'b.txt'
      REPORT integral(u) AS 'u1'
END
