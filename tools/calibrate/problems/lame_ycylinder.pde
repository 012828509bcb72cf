{ Lame thick cylinder, axisymmetric, plane strain by Uz held at both ends: Ur = (1+nu)/E ((1-2nu) r/3 + 4/(3r)), Uz = 0. }
TITLE 'Lame axisymmetric'
SELECT
  ERRLIM = 1e-3
COORDINATES
  YCYLINDER('R','Z')
VARIABLES
  Ur, Uz
DEFINITIONS
  E = 1   nu = 0.3   p = 1
  G = E/(2*(1+nu))
  lam = E*nu/((1+nu)*(1-2*nu))
  ure = (1+nu)/E*((1-2*nu)*R/3 + (4/3)/R)
  urange = (1+nu)/E*((1-2*nu)/3 + 4/3) - (1+nu)/E*((1-2*nu)*2/3 + (4/3)/2)
  er = dR(Ur)   et = Ur/R   ez = dZ(Uz)
  tr = er + et + ez
  sr = lam*tr + 2*G*er
  st = lam*tr + 2*G*et
  sz = lam*tr + 2*G*ez
  trz = G*(dZ(Ur) + dR(Uz))
EQUATIONS
  Ur: div(vector(sr, trz)) - st/R = 0
  Uz: div(vector(trz, sz)) = 0
BOUNDARIES
  REGION 1
    START(1,0) VALUE(Uz)=0 NATURAL(Ur)=0 LINE TO (2,0)
    NATURAL(Ur)=0 NATURAL(Uz)=0 LINE TO (2,1)
    VALUE(Uz)=0 NATURAL(Ur)=0 LINE TO (1,1)
    NATURAL(Ur)=p NATURAL(Uz)=0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((Ur-ure)^2)/integral(1))/urange AS 'err_Ur'
    REPORT sqrt(integral(Uz^2)/integral(1)) AS 'abs_Uz'
END
