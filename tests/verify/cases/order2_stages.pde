{ Laplace in the unit square, u = exp(x)*sin(y), on meshes of spacing 0.1, 0.05 and 0.025, one per stage. }
TITLE 'staged rate'
SELECT STAGES = 3  STAGEGRID  REGRID = OFF  ERRLIM = 1e-8
VARIABLES u
DEFINITIONS ex = exp(x)*sin(y)  h = STAGED(0.1, 0.05, 0.025)
EQUATIONS div(grad(u)) = 0
BOUNDARIES
  REGION 1 MESH_SPACING = h START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT sqrt(INTEGRAL((u-ex)^2)) AS 'l2'
END
