{ coord=CARTESIAN2; order=3; sides=straight; regions=1; sheets=none; layers=0; bc=NATURAL; term=coefficient; run=eigen; report=val.
  Modes of the unit box, lambda = c (kx^2 + ky^2 + kz^2) over the variables' c = 1..3; tolerance 10 ERRLIM lambda. }
TITLE 'm082_cartesian2_eigen_natural'
SELECT MODES = 4  ERRLIM = 0.001  ORDER = 2  TRIGINIT
VARIABLES u1 u2 u3
DEFINITIONS
  k1 = 1
  k2 = 2
  k3 = 3
EQUATIONS
  u1: div(k1*grad(u1)) + lambda*u1 = 0
  u2: div(k2*grad(u2)) + lambda*u2 = 0
  u3: div(k3*grad(u3)) + lambda*u3 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u1)=0 VALUE(u2)=0 VALUE(u3)=0 LINE TO (1,0) NATURAL(u1)=0 NATURAL(u2)=0 NATURAL(u3)=0 LINE TO (1,1) VALUE(u1)=0 VALUE(u2)=0 VALUE(u3)=0 LINE TO (0,1) VALUE(u1)=0 VALUE(u2)=0 VALUE(u3)=0 LINE TO FINISH
END
