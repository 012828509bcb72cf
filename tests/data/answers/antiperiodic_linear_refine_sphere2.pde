{ Antiperiodic in x in spherical coordinates (x the radius, y the polar angle), linear cells
  refined to ERRLIM 1e-4. Exact u = (3y/10 + 1) cos(pi (x - 1/2)): u(4/5,9/10) = 1.27 cos(0.3 pi)
  = 0.7464873, u(1/2,1) = 1.3, u(3/2,1) = -1.3, relative L2 error 0 (to 2 ERRLIM |u| in values,
  ERRLIM in the relative error). }
TITLE 'Antiperiodic in x, spherical, linear cells'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 1e-4  ORDER = 1
VARIABLES u
DEFINITIONS ex = (3*y/10 + 1)*cos(pi*(x - 1/2))
EQUATIONS div(grad(u)) - div(grad(ex)) = 0
BOUNDARIES
  REGION 1
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) ANTIPERIODIC(x-1,y) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u' REPORT VAL(u,1/2,1) AS 'left' REPORT VAL(u,3/2,1) AS 'right'
    REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
END
