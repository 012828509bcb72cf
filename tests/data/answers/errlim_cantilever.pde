{ A 10 x 1 cantilever in plane stress under an end shear load, to ERRLIM 1e-4. Exact answer
  (the beam with a parabolic shear load at the free end x = 0 and its displacements held at
  the built-in end x = L; half depth c, I = 2c^3/3):
    U = -P x^2 y/(2EI) - nu P y^3/(6EI) + P y^3/(6IG) + (P L^2/(2EI) - P c^2/(2IG)) y
    V = nu P x y^2/(2EI) + P x^3/(6EI) - P L^2 x/(2EI) + P L^3/(3EI)
    sxx = -P x y/I, syy = 0, txy = -P (c^2 - y^2)/(2I).
  Each ratio is the RMS error over the beam against that answer, over the answer's range
  (the nodes' range) and ERRLIM: a run that stops at its error limit ends with it at most 1.
  The estimate read the slender beam's error low and stopped on 71 nodes with V 4.7 ERRLIM off. }
TITLE 'Cantilever to an error limit'
SELECT
  ERRLIM = 1e-4
VARIABLES
  U, V
DEFINITIONS
  E = 1000  nu = 0.3  P = 1  L = 10  c = 0.5
  G = E/(2*(1 + nu))
  I = 2*c^3/3
  C11 = E/(1 - nu^2)
  sx = C11*(dx(U) + nu*dy(V))
  sy = C11*(dy(V) + nu*dx(U))
  txy = G*(dy(U) + dx(V))
  Uex = -P*x^2*y/(2*E*I) - nu*P*y^3/(6*E*I) + P*y^3/(6*I*G) + (P*L^2/(2*E*I) - P*c^2/(2*I*G))*y
  Vex = nu*P*x*y^2/(2*E*I) + P*x^3/(6*E*I) - P*L^2*x/(2*E*I) + P*L^3/(3*E*I)
  sxex = -P*x*y/I
  txyex = -P/(2*I)*(c^2 - y^2)
EQUATIONS
  U: dx(sx) + dy(txy) = 0
  V: dx(txy) + dy(sy) = 0
BOUNDARIES
  REGION 1
    START(0,-c) NATURAL(U) = 0 NATURAL(V) = 0 LINE TO (L,-c)
    VALUE(U) = Uex VALUE(V) = Vex LINE TO (L,c)
    NATURAL(U) = 0 NATURAL(V) = 0 LINE TO (0,c)
    NATURAL(U) = -sxex NATURAL(V) = -txyex LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((U - Uex)^2)/integral(1))/(globalmax(U) - globalmin(U))/ERRLIM AS 'ratio_U'
    REPORT sqrt(integral((V - Vex)^2)/integral(1))/(globalmax(V) - globalmin(V))/ERRLIM AS 'ratio_V'
    REPORT val(V, 0, 0) AS 'tip'
END
