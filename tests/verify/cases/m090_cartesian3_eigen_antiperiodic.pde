{ coord=CARTESIAN3; order=1; sides=straight; regions=1; sheets=flat; layers=2; bc=ANTIPERIODIC; term=plain; run=eigen; report=val.
  Modes of the unit box, lambda = c (kx^2 + ky^2 + kz^2) over the variables' c = 1..1; tolerance 10 ERRLIM lambda. }
TITLE 'm090_cartesian3_eigen_antiperiodic'
COORDINATES CARTESIAN3
SELECT MODES = 3  ERRLIM = 0.01  ORDER = 2  TRIGINIT
VARIABLES u1
EQUATIONS
  u1: div(grad(u1)) + lambda*u1 = 0
EXTRUSION z = 0, 1/2, 1
BOUNDARIES
  SURFACE 1 VALUE(u1)=0
  SURFACE 3 VALUE(u1)=0
  REGION 1
    START(0,0) VALUE(u1)=0 LINE TO (1,0) ANTIPERIODIC(x-1,y) LINE TO (1,1) VALUE(u1)=0 LINE TO (0,1) NOBC(u1) LINE TO FINISH
END
