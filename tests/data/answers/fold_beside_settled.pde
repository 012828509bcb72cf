{ Two uncoupled reactions side by side in a slab 0 < x < 1 (a strip, insulated above and below):
  u'' + 3.5 exp(u) = 0 near the fold of its lower branch (the fold is at 3.5138), and
  v'' + exp(v) = 0, both held at 0 at x = 0 and x = 1. Exact (Bratu): u = 2 ln(cosh(t/4) / cosh(t (x - 1/2) / 2))
  with t = sqrt(2 lambda) cosh(t/4) on the lower branch: u(1/2) = 1.0851589 (t = 4.5518537) and
  v(1/2) = 0.1405392. Newton creeps on u (each step takes a share of what is left) while v has settled. }
TITLE 'Fold beside a settled variable'
SELECT ERRLIM=1e-3
VARIABLES u v
INITIAL VALUES
  u = 0
  v = 0
EQUATIONS
  u: div(grad(u)) + 3.5*exp(u) = 0
  v: div(grad(v)) + exp(v) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 NATURAL(v)=0 LINE TO (1,0)
    VALUE(u)=0 VALUE(v)=0 LINE TO (1,0.1)
    NATURAL(u)=0 NATURAL(v)=0 LINE TO (0,0.1)
    VALUE(u)=0 VALUE(v)=0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u,0.5,0.05) AS 'u'
    REPORT val(v,0.5,0.05) AS 'v'
END
