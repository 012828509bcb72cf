{ An insulated square, div(grad(u)) + 2 pi^2 cos(pi x) cos(pi y) = 0, with u = 3 at the
  corner (0,0): u = cos(pi*x)*cos(pi*y) + 2. }
TITLE 'point value'
SELECT NGRID = 10  ERRLIM = 1e-5
VARIABLES u
EQUATIONS div(grad(u)) + 2*pi^2*cos(pi*x)*cos(pi*y) = 0
BOUNDARIES
  REGION 1 START(0,0) POINT VALUE(u)=3 NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.25) AS 'u' REPORT VAL(u,1,1) AS 'u2' REPORT INTEGRAL(u) AS 'int'
END
