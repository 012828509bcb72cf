{ A time range that ends where it starts: refused at the TIME line (8). }
TITLE 'empty time range'
VARIABLES u
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) + 1 = dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0.5 TO 0.5
HISTORIES HISTORY(u) AT (0.5,0.5) EXPORT
END
