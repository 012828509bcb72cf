{ A time run whose start value is near the largest number: the start's resolution
  check overflows, reported at the initial value. }
TITLE 'start near the largest number'
VARIABLES u
INITIAL VALUES u = 1e308
EQUATIONS dt(u) = div(grad(u))
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR t = 1 SUMMARY EXPORT REPORT integral(u) AS 'i'
END
