{ A source near the largest number in the second equation of a 3D eigenvalue run (a cantilever's
  modes): the vectors carry it, and the sweep of their sources overflows in that equation's rows. }
TITLE '3D cantilever modes'
COORDINATES
  CARTESIAN3
SELECT
  MODES = 3
  ERRLIM = 1e-3
VARIABLES
  U V W
DEFINITIONS
  E = 1
  G = E/2
  sxx = E*dx(U)
  syy = E*dy(V)
  szz = E*dz(W)
  sxy = G*(dy(U) + dx(V))
  sxz = G*(dz(U) + dx(W))
  syz = G*(dz(V) + dy(W))
EQUATIONS
  U: dx(sxx) + dy(sxy) + dz(sxz) + lambda*U = 0
  V: dx(sxy) + dy(syy) + dz(syz) + lambda*V = 1e308
  W: dx(sxz) + dy(syz) + dz(szz) + lambda*W = 0
EXTRUSION
  z = 0, 0.25, 0.5
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(U) = 0 NATURAL(V) = 0 NATURAL(W) = 0 LINE TO (10,0) TO (10,1) TO (0,1)
    VALUE(U) = 0 VALUE(V) = 0 VALUE(W) = 0 LINE TO FINISH
END
