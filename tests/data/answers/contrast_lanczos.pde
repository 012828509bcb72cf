{ k = 1e9 in the inner square, 1 outside, div(k grad u) + 1 = 0, u = 0 on the sides, with LANCZOS and the diagonal
  preconditioner. A fine P2 solution by an independent code gives u(0.5,0.5) = 0.0523909 (the plateau's
  level); the incomplete Cholesky and banded solves give 0.0523912 on the same grids. }
TITLE 'contrast with LANCZOS and the diagonal preconditioner'
SELECT ERRLIM=1e-4 LANCZOS
VARIABLES u
DEFINITIONS k = 1
EQUATIONS div(k*grad(u)) + 1 = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
REGION 2 k = 1e9 START(0.25,0.25) LINE TO (0.75,0.25) TO (0.75,0.75) TO (0.25,0.75) TO FINISH
PLOTS
 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'centre'
END
