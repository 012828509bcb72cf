{ coord=CARTESIAN3; order=2; sides=straight; regions=1; sheets=flat; layers=3; bc=VALUE; term=definition; run=eigen; report=val.
  Modes of the unit box, lambda = c (kx^2 + ky^2 + kz^2) over the variables' c = 1..2; tolerance 10 ERRLIM lambda. }
TITLE 'm197_cartesian3_eigen_value'
COORDINATES CARTESIAN3
SELECT MODES = 3  ERRLIM = 0.01  ORDER = 2
VARIABLES u1 u2
DEFINITIONS
  fl1 = grad(u1)
  fl2 = 2*grad(u2)
EQUATIONS
  u1: div(fl1) + lambda*u1 = 0
  u2: div(fl2) + lambda*u2 = 0
EXTRUSION z = 0, 1/3, 2/3, 1
BOUNDARIES
  SURFACE 1 VALUE(u1)=0 VALUE(u2)=0
  SURFACE 4 VALUE(u1)=0 VALUE(u2)=0
  REGION 1
    START(0,0) VALUE(u1)=0 VALUE(u2)=0 LINE TO (1,0) VALUE(u1)=0 VALUE(u2)=0 LINE TO (1,1) VALUE(u1)=0 VALUE(u2)=0 LINE TO (0,1) VALUE(u1)=0 VALUE(u2)=0 LINE TO FINISH
END
