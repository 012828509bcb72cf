{ 10 x 1 cantilever in plane stress, end load 1 carried as parabolic shear, held at x = 10 to the
  end-loaded beam answer (ranges: u 0.5973, v 4). }
TITLE 'Slender cantilever held to the beam answer'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u v
DEFINITIONS
  E = 1000  nu = 0.3  P = 1  L = 10  c = 0.5  I = 2*c^3/3
  G = E/(2*(1 + nu))  C11 = E/(1 - nu^2)  C12 = nu*C11
  sx = C11*dx(u) + C12*dy(v)  sy = C12*dx(u) + C11*dy(v)  txy = G*(dy(u) + dx(v))
  ue = -P*x^2*y/(2*E*I) - nu*P*y^3/(6*E*I) + P*y^3/(6*I*G) + (P*L^2/(2*E*I) - P*c^2/(2*I*G))*y
  ve = nu*P*x*y^2/(2*E*I) + P*x^3/(6*E*I) - P*L^2*x/(2*E*I) + P*L^3/(3*E*I)
  txye = -P*(c^2 - y^2)/(2*I)
EQUATIONS
  u: dx(sx) + dy(txy) = 0
  v: dx(txy) + dy(sy) = 0
BOUNDARIES
  REGION 1
    START(0,-0.5) NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (10,-0.5)
    VALUE(u) = ue VALUE(v) = ve LINE TO (10,0.5)
    NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (0,0.5)
    NATURAL(u) = 0 NATURAL(v) = -txye LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - ue)^2)/integral(1))/0.5973 AS 'err_u'
    REPORT sqrt(integral((v - ve)^2)/integral(1))/4 AS 'err_v'
END
