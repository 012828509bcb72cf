{ A quarter of a thick cylinder (a = 1, b = 2) in 3D, held in plane strain by W = 0 on both
  end faces, under an internal pressure p = 1, E = 1, nu = 0.3. Lame: u_r = (1+nu)/E ((1-2nu) r/3
  + 4/(3r)), u_r(1) = 1.9066667, u_r(2) = 1.2133333 (range 0.6933333), W = 0. err_Ur is the RMS
  of the radial displacement's error over the domain relative to that range. }
TITLE 'Lame 3D'
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
    REPORT val(U,1,0,0.5) AS 'ur_a'
    REPORT val(U,2,0,0.5) AS 'ur_b'
    REPORT sqrt(integral((U-ure*x/r)^2 + (V-ure*y/r)^2)/integral(1))/0.6933333 AS 'err_Ur'
    REPORT globalmax(abs(W)) AS 'w_max'
END
