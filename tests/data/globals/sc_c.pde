{ The source s that makes INTEGRAL(u) = 1 as scalar.pde states it, with the grid limit 2.
  Known answer: s = 28.4541538, u(1/2,1/2) = 2.0962560. Tolerance: s and the centre value
  within 1e-3 relative, INTEGRAL(u) within 1e-6. }
TITLE 'scalar sc_c'
SELECT
  GRIDLIMIT = 2
VARIABLES
  u
SCALAR VARIABLES
  s
EQUATIONS
  u: div(grad(u)) + s = 0
  s: INTEGRAL(u) = 1
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT s AS 's'
    REPORT INTEGRAL(u) AS 'integral'
    REPORT EVAL(u, 0.5, 0.5) AS 'centre'
END
