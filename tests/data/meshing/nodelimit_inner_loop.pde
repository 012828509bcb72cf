{ A node limit below the first mesh of a unit square holding a small inner loop (a diamond
  0.02 across): its first mesh has 708 nodes (NODELIMIT = 1000). }
TITLE 'node limit below a first mesh with an inner loop'
SELECT NODELIMIT = 100
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
    START(0.5,0.49) LINE TO (0.51,0.5) TO (0.5,0.51) TO (0.49,0.5) TO FINISH
END
