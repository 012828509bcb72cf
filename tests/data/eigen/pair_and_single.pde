{ A coupled pair u, v beside an uncoupled w half as stiff, all held at zero on the unit
  square. With k^2 = pi^2 (m^2 + n^2): the pair's modes k^2 - 1 (u = -v) and k^2 + 1 (u = v),
  w's modes k^2 / 2 with u = v = 0: 9.8696044 (w), 18.7392088, 20.7392088, 24.6740110 (w, twice),
  39.4784176 (w). Each variable is absent from some modes. }
TITLE 'pair and single'
SELECT MODES=6 ERRLIM=1e-4
VARIABLES u v w
EQUATIONS
 u: div(grad(u)) - v + lambda*u = 0
 v: div(grad(v)) - u + lambda*v = 0
 w: 0.5*div(grad(w)) + lambda*w = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 VALUE(w)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
