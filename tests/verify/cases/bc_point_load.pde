{ A load P = 2 at the origin on the straight side of the unit half disk, insulated
  there, u = 0 on the arc: u = (P/pi) ln(1/r). }
TITLE 'point load'
SELECT ERRLIM = 1e-4
VARIABLES u
EQUATIONS div(grad(u)) = 0
BOUNDARIES
  REGION 1 START(-1,0) NATURAL(u)=0 LINE TO (0,0) POINT LOAD(u)=2 LINE TO (1,0)
    VALUE(u)=0 ARC(CENTER=0,0) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0,0.5) AS 'u' REPORT VAL(u,0.5,0.5) AS 'u2'
    REPORT BINTEGRAL(NORMAL(grad(u)),1) AS 'flux'
END
