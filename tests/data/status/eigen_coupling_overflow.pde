{ A coupling near the largest number in the third equation of an eigenvalue run. }
TITLE 'coupling overflow'
SELECT
  MODES = 2
VARIABLES
  u
  v
  w
EQUATIONS
  u: div(grad(u)) + 2*v + lambda*u = 0
  v: div(grad(v)) + 0.5*u + lambda*v = 0
  w: div(grad(w)) + 1e308*v + lambda*w = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 VALUE(v)=0 VALUE(w)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
