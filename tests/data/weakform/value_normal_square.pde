{ Laplace on the square -1<x,y<1 with u = normal(vector(0,y)): 1 on y = -1 and y = 1, 0 on
  x = -1 and x = 1. Series: u(0,0.5) = sum over odd n of 4/(n pi) sin(n pi/2) cosh(n pi/4)/cosh(n pi/2)
  = 0.6359433. }
TITLE 'VALUE from a normal component on a square'
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(-1,-1) VALUE(u)=normal(vector(0,y)) LINE TO (1,-1) TO (1,1) TO (-1,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(u,0,0.5) AS 'u'
END
