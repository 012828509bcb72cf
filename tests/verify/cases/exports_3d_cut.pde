{ u = x^2 - z^2 + x y in the unit cube, held exactly by quadratic cells: its integral along the
  line y = z = 0.5 (printed and drawn) and on the planes y = 0.3 and z = 0.4. }
TITLE 'cut planes'
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
  SUMMARY PRINT REPORT VAL(u,0.5,0.5,0.5) AS 'u' REPORT INTEGRAL(u) AS 'int'
  ELEVATION(u) FROM (0,0.5,0.5) TO (1,0.5,0.5) PRINT
  CONTOUR(u) ON y = 0.3
  CONTOUR(u) ON z = 0.4
END
