{ A time run started near the largest number under an error limit near it too: the
  start's check for value conditions that move it overflows, reported at the start. }
TITLE 'start jump overflow'
SELECT ERRLIM=1e200
VARIABLES u
INITIAL VALUES u = -1e308
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=2-u*u LINE TO (1,0.1) NATURAL(u)=0
    LINE TO (0,0.1) VALUE(u)=0 LINE TO FINISH
TIME 0 TO 5
END
