{ A unit square and, in the same region, a whole circle of radius 1e30 about its centre:
  the spacings beside the square are nothing against the circle, and the first mesh is
  refused by its count. }
TITLE 'a circle of radius 1e30 about a unit square'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
    START(1e30,0.5) ARC(CENTER=0.5,0.5) ANGLE=360
END
