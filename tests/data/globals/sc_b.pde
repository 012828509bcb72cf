{ As sc_a.pde, with the scalar equation written s - 2 = 0: s = 2, INTEGRAL(u) = 0.0702885
  and u(1/2,1/2) = 0.1473427. Tolerance: s within 1e-9, the others within 1e-3 relative. }
TITLE 'scalar sc_b'
SELECT
  GRIDLIMIT = 2
VARIABLES
  u
SCALAR VARIABLES
  s
EQUATIONS
  u: div(grad(u)) + s = 0
  s: s - 2 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT s AS 's'
    REPORT INTEGRAL(u) AS 'integral'
    REPORT EVAL(u, 0.5, 0.5) AS 'centre'
END
