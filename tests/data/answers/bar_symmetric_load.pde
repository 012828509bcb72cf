{ A plane-strain bar on rollers: u = 0 on x = 0, v = 0 on y = 0 and y = 1 (no shear), free at x = 1,
  loaded along its axis by the body force x. lam = 1.5, mu = 1, so lam + 2 mu = 3.5. The load is
  symmetric: v = 0 exactly, and (lam + 2 mu) u'' + x = 0, u'(1) = 0 gives
  u = (x/2 - x^3/6)/3.5: u(1) = 0.0952381, u(0.5) = 0.0654762, v = 0. }
TITLE 'bar under a symmetric load'
SELECT ERRLIM = 1e-4
VARIABLES u v
DEFINITIONS
  lam = 1.5  mu = 1
  sxx = (lam + 2*mu)*dx(u) + lam*dy(v)  syy = lam*dx(u) + (lam + 2*mu)*dy(v)  sxy = mu*(dy(u) + dx(v))
EQUATIONS
  u: dx(sxx) + dy(sxy) + x = 0
  v: dx(sxy) + dy(syy) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(v) = 0 NATURAL(u) = 0 LINE TO (1,0)
    NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (1,1)
    VALUE(v) = 0 NATURAL(u) = 0 LINE TO (0,1)
    VALUE(u) = 0 NATURAL(v) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 1, 0.5) AS 'u_end'
    REPORT val(u, 0.5, 0.3) AS 'u_mid'
    REPORT globalmax(abs(v)) AS 'v_max'
END
