{ Two-layer column: base held at U = 0.4x, V = 0.4y, load 2 on top, sides free. Each layer has
  uniform stress szz = -2 and lateral strain 2 nu/E = 0.4 in both, so U = 0.4x, V = 0.4y, W = -2z below
  z = 1 and -1 - z above. }
TITLE 'Layered column'
SELECT
  ERRLIM = 1e-3
COORDINATES
  CARTESIAN3
VARIABLES
  U, V, W
DEFINITIONS
  We = -2*min(z,1) - max(z-1,0)
  E = 1   nu = 0.2
  G = E/(2*(1+nu))
  lam = E*nu/((1+nu)*(1-2*nu))
  exx = dx(U)  eyy = dy(V)  ezz = dz(W)
  tr = exx + eyy + ezz
  sxx = lam*tr + 2*G*exx
  syy = lam*tr + 2*G*eyy
  szz = lam*tr + 2*G*ezz
  sxy = G*(dy(U) + dx(V))
  syz = G*(dz(V) + dy(W))
  sxz = G*(dz(U) + dx(W))
EQUATIONS
  U: dx(sxx) + dy(sxy) + dz(sxz) = 0
  V: dx(sxy) + dy(syy) + dz(syz) = 0
  W: dx(sxz) + dy(syz) + dz(szz) = 0
EXTRUSION
  SURFACE 'base' z = 0
    LAYER 'soft'
  SURFACE 'joint' z = 1
    LAYER 'stiff'
  SURFACE 'top' z = 2
BOUNDARIES
  SURFACE 'base' VALUE(U) = 0.4*x VALUE(V) = 0.4*y VALUE(W) = 0
  SURFACE 'top' NATURAL(U) = 0 NATURAL(V) = 0 NATURAL(W) = -2
  REGION 1
    LAYER 'stiff' E = 2 nu = 0.4
    START(-0.5,-0.5) NATURAL(U)=0 NATURAL(V)=0 NATURAL(W)=0
    LINE TO (0.5,-0.5) TO (0.5,0.5) TO (-0.5,0.5) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((U-0.4*x)^2)/integral(1))/0.4 AS 'err_U'
    REPORT sqrt(integral((V-0.4*y)^2)/integral(1))/0.4 AS 'err_V'
    REPORT sqrt(integral((W-We)^2)/integral(1))/3 AS 'err_W'
END
