{ The thick cylinder of ycyl_zero_variable in a material that stiffens as it swells, E = 1 + 2 Ur^2
  (a=1 b=2 p=1 nu=0.3, plane strain by Uz = 0 at Z = 0 and Z = 1). Uz is zero in truth. Its radial
  answer is the two-point problem sigma_r' + (sigma_r - sigma_t)/r = 0, sigma_r(1) = -1, sigma_r(2) = 0,
  integrated by fourth-order Runge-Kutta at 4000 and 8000 steps (agreeing to 1e-10): u_r(1) = 0.897831057,
  u_r(2) = 0.581524836, u_r(1.5) = 0.677584577. Uz's noise neither holds Newton's steps nor drives
  refinement (it took every grid to the step limit and refined to the grid limit, 30,882 nodes). }
TITLE 'Lame axisymmetric, stiffening'
SELECT
  ERRLIM = 1e-3
COORDINATES
  YCYLINDER('R','Z')
VARIABLES
  Ur, Uz
DEFINITIONS
  E = 1 + 2*Ur^2   nu = 0.3   p = 1
  G = E/(2*(1+nu))
  lam = E*nu/((1+nu)*(1-2*nu))
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
    REPORT val(Ur,1,0.5) AS 'ur_a'
    REPORT val(Ur,2,0.5) AS 'ur_b'
    REPORT val(Ur,1.5,0.5) AS 'ur_mid'
    REPORT val(st,1.5,0.5) AS 'st_mid'
    REPORT val(sr,1.5,0.5) AS 'sr_mid'
    REPORT val(sz,1.5,0.5) AS 'sz'
END
