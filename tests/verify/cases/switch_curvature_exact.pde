{ u = x^2 + y, held exactly by quadratic cells, with a natural side: under CURVATURE_ERROR every
  estimate is rounding, so the run converges on its first mesh with the exact answer. }
TITLE 'curvature exact'
SELECT CURVATURE_ERROR  ERRLIM = 1e-4
VARIABLES u
DEFINITIONS ex = x^2 + y
EQUATIONS div(grad(u)) = 2
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) NATURAL(u)=2 LINE TO (1,1) VALUE(u)=ex LINE TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT val(u,0.5,0.5) AS 'u' REPORT sqrt(integral((u-ex)^2)) AS 'err'
END
