TITLE 'cylinder wall normal'
COORDINATES
  CARTESIAN3
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u)=x
  SURFACE 2 VALUE(u)=x
  REGION 1
    START(1,0) VALUE(u)=x ARC(CENTER=0,0) ANGLE=360 TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(normal(vector(x,y,0)), 0.999*cos(0.3), 0.999*sin(0.3), 0.5) AS 'n inside 0.999'
    REPORT VAL(tangential(vector(x,y,0)), 0.999*cos(0.3), 0.999*sin(0.3), 0.5) AS 't inside 0'
END
