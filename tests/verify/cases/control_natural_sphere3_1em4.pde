{ Poisson in SPHERE3 on the box 1/2 < x < 3/2, 1/2 < y < 3/2, 0 < z < 1, u = x*y/5 - x*z/5 + sin(3*z)/4 + sin(3*x + 3/10)*cos(3*y)/2 + 1, with fluxes on
  the walls y = 1/2, x = 3/2, y = 3/2 and the top; the relative L2 error within 2 ERRLIM. }
TITLE 'natural sides sphere3'
COORDINATES SPHERE3('X','Y','Z')
SELECT ERRLIM = 1e-4
VARIABLES u
DEFINITIONS ex = x*y/5 - x*z/5 + sin(3*z)/4 + sin(3*x + 3/10)*cos(3*y)/2 + 1
EQUATIONS div(grad(u)) + ((90*x^2*sin(3*x + 3/10)*cos(3*y) - 8*x*y + 8*x*z - 60*x*cos(3*y)*cos(3*x + 3/10) - 4*x/tan(y) + 30*sin(3*y)*sin(3*x + 3/10)/tan(y) + 90*sin(3*x + 3/10)*cos(3*y) + 45*sin(3*z)/sin(y)^2)/(20*x^2)) = 0
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ex
  SURFACE 2 NATURAL(u) = (-4*x + 15*cos(3))/(20*x*sin(y))
  REGION 1
    START(1/2,1/2) NATURAL(u) = (-2*x + 15*sin(3/2)*sin(3*x + 3/10))/(10*x) LINE TO (3/2,1/2) NATURAL(u) = y/5 - z/5 + 3*cos(24/5)*cos(3*y)/2 LINE TO (3/2,3/2)
    NATURAL(u) = (2*x - 15*sin(9/2)*sin(3*x + 3/10))/(10*x) LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,4/5,9/10,1/2) AS 'u' REPORT sqrt(INTEGRAL((u-ex)^2)/INTEGRAL(ex^2)) AS 'rel'
END
