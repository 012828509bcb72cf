{ A periodic side in an extrusion on a coarse first mesh: the 2 by 1 base cells meet one
  another both across their diagonal and across the periodic side. The solution does not
  depend on x: u_yy + u_zz + 1 = 0, u = 0 at y = 0, y = b and z = 0, u_z = 0 at z = c, so
  INTEGRAL(u) = a SUM(n odd) 8 (c - tanh(k c)/k) / (n pi k^3), k = n pi / b:
  a = 1.18, b = 1.56, c = 0.44: 0.0338266. }
TITLE 'periodic side in an extrusion, coarse'
COORDINATES CARTESIAN3
SELECT NGRID=1
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
EXTRUSION z = 0, 0.44
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1.18,0) PERIODIC(x-1.18,y) LINE TO (1.18,1.56) VALUE(u)=0
    LINE TO (0,1.56) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY EXPORT REPORT INTEGRAL(u) AS 'int'
END
