{ DNORMAL on the curved side face and the top of an extruded annulus: u = ln r + r^2 + z^2. NATURAL gives 1.14e-4. }
TITLE '3d dnormal on a curved side'
COORDINATES CARTESIAN3
SELECT ERRLIM=1e-4
VARIABLES
  u
DEFINITIONS
  exact = ln(sqrt(x^2+y^2)) + x^2 + y^2 + z^2
EQUATIONS
  div(grad(u)) - 6 = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=exact
  SURFACE 2 DNORMAL(u) = 2
  REGION 1
    START(1,0) DNORMAL(u)=3 ARC(CENTER=0,0) ANGLE=360 TO FINISH
    START(0.5,0) VALUE(u)=exact ARC(CENTER=0,0) ANGLE=-360 TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
