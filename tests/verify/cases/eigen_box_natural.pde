{ Modes of the insulated box 0<x<2, 0<y<1: lambda = pi^2 (m^2/4 + n^2), m, n >= 0, the first 0. }
TITLE 'insulated box modes'
SELECT MODES = 4  ERRLIM = 1e-4
VARIABLES u
EQUATIONS div(grad(u)) + lambda*u = 0
BOUNDARIES REGION 1 START(0,0) NATURAL(u)=0 LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH
END
