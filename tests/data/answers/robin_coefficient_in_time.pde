{ A film coefficient that grows in time: u_t = u_xx + f on [0,1]x[0,0.1], f = -(1+x) exp(-t), insulated long
  sides, u_x = exp(-t) at x = 0, and at x = 1 the film flux h (G - u) with h = 1 + 20 t and
  G = 2 exp(-t) + exp(-t)/h. Exact (linear in x, so the mesh holds it exactly): u = (1+x) exp(-t),
  u(0.5) = 1.5 exp(-1) = 0.5518192 at t = 1. }
TITLE 'Film coefficient growing in time'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  h = 1 + 20*t
  G = 2*exp(-t) + exp(-t)/h
INITIAL VALUES
  u = 1 + x
EQUATIONS
  div(grad(u)) - (1+x)*exp(-t) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    NATURAL(u) = h*(G - u) LINE TO (1,0.1)
    NATURAL(u) = 0 LINE TO (0,0.1)
    NATURAL(u) = -exp(-t) LINE TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.05) AS 'mid'
END
