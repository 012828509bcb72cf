{ 3D antiperiodic in x: u = cos(pi x) sin(pi z) exp(-2 pi^2 t), tied u(1) = -u(0): u(0,0.5,0.5) = exp(-2 pi^2 0.02) = 0.6738254
  at t = 0.02, u(1,0.5,0.5) its negative. }
TITLE 'antiperiodic 3d time'
COORDINATES CARTESIAN3
SELECT ERRLIM=1e-3
VARIABLES u
INITIAL VALUES u = cos(pi*x)*sin(pi*z)
EQUATIONS div(grad(u)) = dt(u)
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  SURFACE 2 VALUE(u)=0
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) ANTIPERIODIC(x-1,y) LINE TO (1,1) NATURAL(u)=0 LINE TO (0,1) NOBC(u) LINE TO FINISH
TIME 0 TO 0.02
PLOTS FOR T = 0.02
 SUMMARY EXPORT REPORT val(u,0,0.5,0.5) AS 'u0' REPORT val(u,1,0.5,0.5) AS 'u1' REPORT exp(-2*pi^2*0.02) AS 'exact'
END
