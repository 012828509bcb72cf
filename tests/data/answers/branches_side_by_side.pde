{ One reaction u'' + 3.5 exp(u) = 0 in a slab 0 < x < 1 (a strip, insulated above and below), held at 0 at
  x = 0 and x = 1, solved twice side by side: u from 0 takes the lower branch, v from 4 sin(pi x) the upper.
  Exact (Bratu): u = 2 ln(cosh(t/4) / cosh(t (x - 1/2) / 2)) with t = sqrt(2 lambda) cosh(t/4):
  u(1/2) = 1.0851589 (t = 4.5518537), v(1/2) = 1.2945855 (the upper root). Both near the fold (lambda 3.5138):
  each variable's Newton steps take a share of what is left while the other's are settled. }
TITLE 'Two branches side by side'
SELECT ERRLIM=1e-4
VARIABLES u v
INITIAL VALUES
  u = 0
  v = 4*sin(pi*x)
EQUATIONS
  u: div(grad(u)) + 3.5*exp(u) = 0
  v: div(grad(v)) + 3.5*exp(v) = 0
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
