{ u = c sin(pi x) sin(pi y) for any c; the scalar equation INTEGRAL(u) = 12/pi^2 sets c = 3. }
TITLE 'scalar steady'
SELECT NGRID = 10  ERRLIM = 1e-5
VARIABLES u
SCALAR VARIABLES c
EQUATIONS
  u: div(grad(u)) + 2*pi^2*c*sin(pi*x)*sin(pi*y) = 0
  c: INTEGRAL(u) - 12/pi^2 = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT c AS 'c' REPORT VAL(u,0.5,0.5) AS 'u'
END
