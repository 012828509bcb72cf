{ Two uncoupled variables, v ten times as stiff: the three lowest modes, 2 pi^2 = 19.7392088 and
  5 pi^2 = 49.3480220 (twice), are all u's; v's lowest is 197.39. v is absent from every mode. }
TITLE 'absent variable'
SELECT MODES=3 ERRLIM=1e-4
VARIABLES u v
EQUATIONS
 u: div(grad(u)) + lambda*u = 0
 v: 10*div(grad(v)) + lambda*v = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
