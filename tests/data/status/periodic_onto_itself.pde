{ A periodic map that carries its segment onto itself (y - 1e-30 is y to the tolerance). }
TITLE 'periodic onto itself'
SELECT MODES = 3 ERRLIM = 1e-3
VARIABLES u
EQUATIONS div(grad(u)) + lambda*u = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,2)
    PERIODIC(x, y-1e-30) LINE TO (0,2)
    VALUE(u) = 0 LINE TO FINISH
END
