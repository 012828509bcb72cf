{ u = x^2 - z^2 + x y in the unit cube, held exactly by quadratic cells: its printed values and
  its integral on the plane x = 0.5, through mesh nodes. }
TITLE 'plane x = 0.5'
COORDINATES CARTESIAN3
SELECT REGRID = OFF
VARIABLES u
DEFINITIONS ex = x^2 - z^2 + x*y
EQUATIONS div(grad(u)) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=ex
  SURFACE 2 VALUE(u)=ex
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u) ON x = 0.5 PRINT
END
