{ Plane-strain cantilever 4 x 1, clamped at x = 0, unit downward traction on x = 4, mu = 1,
  lambda = 1e4 (nearly incompressible). Reference from an independent P2 solution on 4N x N
  meshes of the same problem (N = 40, 80, 160) at the tip's middle (4, 0.5): see the test. }
TITLE 'Locking cantilever'
SELECT ERRLIM = 1e-4
VARIABLES u v
DEFINITIONS mu = 1 lam = 1e4
 sxx = (lam+2*mu)*dx(u) + lam*dy(v)  syy = lam*dx(u) + (lam+2*mu)*dy(v)  sxy = mu*(dy(u)+dx(v))
EQUATIONS
 u: dx(sxx) + dy(sxy) = 0
 v: dx(sxy) + dy(syy) = 0
BOUNDARIES
REGION 1 START(0,0) NATURAL(u)=0 NATURAL(v)=0 LINE TO (4,0) NATURAL(u)=0 NATURAL(v)=-1 LINE TO (4,1)
 NATURAL(u)=0 NATURAL(v)=0 LINE TO (0,1) VALUE(u)=0 VALUE(v)=0 LINE TO FINISH
PLOTS SUMMARY EXPORT REPORT val(v,4,0.5) AS 'tip' REPORT val(u,4,1) AS 'utop'
END
