{ Two-layer column (layer-wise materials in 3D) under a uniform end pressure 2: layer 1 (0<z<1) E = 1, nu = 0.2;
  layer 2 (1<z<2) E = 2, nu = 0.4 (same nu/E, so both contract alike and the stress is uniaxial):
  sigma_zz = -2, w(z=1) = -2, w(z=2) = -3, u = 0.4 x, v = 0.4 y. The field is linear, exact in any element:
  U must be met to ERRLIM of its own range (0.4), though W's range (3) is larger. }
TITLE 'Layered column'
SELECT
  ERRLIM = 1e-4
COORDINATES
  CARTESIAN3
VARIABLES
  U, V, W
DEFINITIONS
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
    REPORT val(W,0,0,1) AS 'w_joint'
    REPORT val(W,0.3,0.2,2) AS 'w_top'
    REPORT val(U,0.5,0,1.5) AS 'u_stiff'
    REPORT val(U,0.5,0,0.5) AS 'u_soft'
    REPORT val(szz,0.1,0.1,0.5) AS 'szz_soft'
    REPORT val(szz,0.1,0.1,1.5) AS 'szz_stiff'
    REPORT val(sxx,0.1,0.1,1.5) AS 'sxx_stiff'
    REPORT sqrt(integral((V - 0.4*y)^2)/integral(1))/0.4 AS 'rms_v'
END
