{ A slab thinner than its height, periodic across its thickness: the solution does not
  depend on x, so at the centre it is the square's: u_yy + u_zz + 1 = 0 on the unit
  square with u = 0 on its sides, u(1/2, 1/2) = 0.0736713. }
TITLE 'thin slab periodic across its thickness'
COORDINATES CARTESIAN3
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (0.1,0) PERIODIC(x-0.1,y) LINE TO (0.1,1) VALUE(u)=0
    LINE TO (0,1) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY EXPORT REPORT val(u, 0.05, 0.5, 0.5) AS 'mid'
END
