{ A quarter of a thick cylinder (a = 1, b = 2) in 3D, plane strain by W = 0 on both end faces,
  internal pressure 1, E = 1, nu = 0.3: u_r = (1+nu)/E ((1-2nu) r/3 + 4/(3r)), U = u_r x/r and
  V = u_r y/r (each ranging over 0 .. u_r(1) = 1.9066667), W = 0. }
TITLE 'Lame cylinder in 3D'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  U, V, W
DEFINITIONS
  E = 1   nu = 0.3   p = 1
  G = E/(2*(1+nu))
  lam = E*nu/((1+nu)*(1-2*nu))
  r = sqrt(x^2+y^2)
  ure = (1+nu)/E*((1-2*nu)*r/3 + (4/3)/r)
  ex = dx(U)  ey = dy(V)  ez = dz(W)
  tr = ex + ey + ez
  sx = lam*tr + 2*G*ex   sy = lam*tr + 2*G*ey   sz = lam*tr + 2*G*ez
  txy = G*(dy(U)+dx(V))  txz = G*(dz(U)+dx(W))  tyz = G*(dz(V)+dy(W))
EQUATIONS
  U: dx(sx) + dy(txy) + dz(txz) = 0
  V: dx(txy) + dy(sy) + dz(tyz) = 0
  W: dx(txz) + dy(tyz) + dz(sz) = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(W) = 0
  SURFACE 2 VALUE(W) = 0
  REGION 1
    START(1,0) VALUE(V)=0 LINE TO (2,0)
    LOAD(U)=0 LOAD(V)=0 ARC(CENTER=0,0) ANGLE=90
    VALUE(U)=0 LINE TO (0,1)
    LOAD(U)=p*x/r LOAD(V)=p*y/r ARC(CENTER=0,0) ANGLE=-90
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((U-ure*x/r)^2)/integral(1))/1.9066667 AS 'err_U'
    REPORT sqrt(integral((V-ure*y/r)^2)/integral(1))/1.9066667 AS 'err_V'
    REPORT sqrt(integral(W^2)/integral(1)) AS 'abs_W'
END
