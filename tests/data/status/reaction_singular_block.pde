{ A reaction tie of -1e30 between two variables: each node's block of the coupled
  preconditioner is singular in double precision; the run ends with the error in the
  user's words, no routine named. }
TITLE 'singular node block'
VARIABLES u v
DEFINITIONS k = -1e30 s = sin(pi*x)*sin(pi*y)
EQUATIONS
 u: div(grad(u)) - k*(u - v) + 2*pi^2*s = 0
 v: div(grad(v)) - k*(v - u) + 2*pi^2*s = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
