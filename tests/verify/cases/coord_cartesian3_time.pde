{ u_t = div(grad(u)) + s in the unit cube with the boundary values of u = t*z + (x^2 + y^2 - 2*z^2)*exp(-t). }
TITLE 'cube in time'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-4
VARIABLES u
DEFINITIONS ex = t*z + (x^2 + y^2 - 2*z^2)*exp(-t)
INITIAL VALUES u = x^2 + y^2 - 2*z^2
EQUATIONS div(grad(u)) + (z - (x^2 + y^2 - 2*z^2)*exp(-t)) = dt(u)
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=ex
  SURFACE 2 VALUE(u)=ex
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
    SUMMARY PRINT REPORT val(u,0.5,0.5,0.5) AS 'u' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
