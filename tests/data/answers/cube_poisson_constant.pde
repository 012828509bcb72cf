{ Poisson's equation with a constant source in the unit cube, u = 0 on every face:
  div(grad(u)) + 6 = 0. Exact centre value (the double sine series in x and y, each term
  solved in z): u(1/2,1/2,1/2) = 0.3372770, within 1e-4 at the default ERRLIM. }
TITLE 'Constant source in a cube'
COORDINATES
  CARTESIAN3
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 6 = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0.5, 0.5) AS 'centre'
END
