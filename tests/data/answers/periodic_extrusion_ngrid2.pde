{ A periodic side in an extrusion on a first mesh of NGRID = 2: a base cell's prisms are
  split as those across the periodic side are. The solution does not
  depend on x: u_yy + u_zz + 1 = 0, u = 0 at y = 0, y = b and z = 0, u_z = 0 at z = c, so
  INTEGRAL(u) = a SUM(n odd) 8 (c - tanh(k c)/k) / (n pi k^3), k = n pi / b:
  a = 1.37, b = 2.09, c = 0.44: 0.0597521. }
TITLE 'periodic side in an extrusion, two grids'
COORDINATES CARTESIAN3
SELECT NGRID=2
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
EXTRUSION z = 0, 0.44
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1.37,0) PERIODIC(x-1.37,y) LINE TO (1.37,2.09) VALUE(u)=0
    LINE TO (0,2.09) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY EXPORT REPORT INTEGRAL(u) AS 'int'
END
