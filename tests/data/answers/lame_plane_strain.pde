{ Lame thick-walled cylinder under internal pressure, axisymmetric elasticity in cylinder
  coordinates (r, z), plane strain (uz = 0 on the end planes, no shear there).
  a = 1, b = 2, p = 1, E = 1000, nu = 0.3. Exact: sigma_rr = A' - B'/r^2, sigma_tt = A' + B'/r^2,
  A' = p a^2/(b^2 - a^2) = 1/3, B' = p a^2 b^2/(b^2 - a^2) = 4/3, sigma_zz = 2 nu A' = 0.2,
  u_r = (1 + nu)/E ((1 - 2 nu) A' r + B'/r): u_r(1) = 1.9066667e-3, u_r(2) = 1.2133333e-3,
  sigma_tt(1) = 5/3, sigma_tt(2) = 2/3, sigma_rr(1.5) = -0.2592593. }
TITLE 'Lame cylinder'
COORDINATES
  ycylinder('r','z')
SELECT
  ERRLIM = 1e-4
VARIABLES
  ur uz
DEFINITIONS
  E = 1000
  nu = 0.3
  G = E/(2*(1 + nu))
  lam = E*nu/((1 + nu)*(1 - 2*nu))
  err = dr(ur)
  ett = ur/r
  ezz = dz(uz)
  grz = dz(ur) + dr(uz)
  tr = err + ett + ezz
  srr = lam*tr + 2*G*err
  stt = lam*tr + 2*G*ett
  szz = lam*tr + 2*G*ezz
  srz = G*grz
EQUATIONS
  ur: div(vector(srr, srz)) - stt/r = 0
  uz: div(vector(srz, szz)) = 0
BOUNDARIES
  REGION 1
    START(1,0) VALUE(uz) = 0 NATURAL(ur) = 0 LINE TO (2,0)
    NATURAL(uz) = 0 NATURAL(ur) = 0 LINE TO (2,1)
    VALUE(uz) = 0 NATURAL(ur) = 0 LINE TO (1,1)
    NATURAL(uz) = 0 NATURAL(ur) = 1 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(ur, 1, 0.5) AS 'ur_a'
    REPORT val(ur, 2, 0.5) AS 'ur_b'
    REPORT val(stt, 1, 0.5) AS 'stt_a'
    REPORT val(stt, 2, 0.5) AS 'stt_b'
    REPORT val(srr, 1.5, 0.5) AS 'srr_mid'
    REPORT val(szz, 1.5, 0.5) AS 'szz_mid'
    REPORT globalmax(abs(uz)) AS 'uz_max'
END
