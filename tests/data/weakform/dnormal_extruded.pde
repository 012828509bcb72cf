{ DNORMAL on an extruded side face and the top surface: u = x^2 + y*z + sin(z). }
TITLE '3d dnormal'
COORDINATES CARTESIAN3
SELECT ERRLIM=1e-4
VARIABLES
  u
DEFINITIONS
  exact = x^2 + y*z + sin(z)
EQUATIONS
  div(grad(u)) - 2 + sin(z) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=exact
  SURFACE 2 DNORMAL(u) = y + cos(z)
  REGION 1
    START(0,0) VALUE(u)=exact LINE TO (1,0) DNORMAL(u)=2*x LINE TO (1,1) VALUE(u)=exact LINE TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
