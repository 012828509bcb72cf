{ A linear field in the unit cube, cut by planes through mesh nodes that lie within
  the tolerance of the plane. Every cut value is the field's own, every cut has area 1,
  and u = ex integrates to 4 over x = 0.5 and over y = 0.5, and along the path. }
TITLE 'Linear cube'
COORDINATES
  CARTESIAN3
SELECT
  QUADRATIC
VARIABLES
  u
DEFINITIONS
  ex = x + 2*y + 3*z + 1
EQUATIONS
  div(grad(u)) = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=ex
  SURFACE 2 VALUE(u)=ex
  REGION 1
    START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u) ON x=0.5 PRINT
  CONTOUR(ex) ON y=0.5 PRINT
  CONTOUR(1+0*u) ON x=0.25
  CONTOUR(1+0*u) ON x=0.5 POINTS=101
  ELEVATION(u) FROM (0.5,0,0.5) TO (0.5,1,0.5) PRINT
END
