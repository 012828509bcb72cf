{ A box [0,1]^3 periodic in y (the side y = 1 maps onto y = 0) with a scalar unknown G that sets the
  mean: lap u + G = 0, INTEGRAL(u) = 1, u = 0 on x = 0 and x = 1, insulated top and bottom, on its
  first grid. Exact: G = 12, u = 6 x (1 - x), which quadratic cells hold: 1.5 on x = 0.5 at every
  y and z, the bottom sheet's periodic nodes too, L2 error 0. }
TITLE 'periodic box with a scalar'
COORDINATES CARTESIAN3
SELECT REGRID = OFF
VARIABLES u
SCALAR VARIABLES G
EQUATIONS
  u: div(grad(u)) + G = 0
  G: INTEGRAL(u) = 1
EXTRUSION z = 0, 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    PERIODIC(x, y-1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT G AS 'G'
    REPORT val(u, 0.5, 0, 0) AS 'y0z0'
    REPORT val(u, 0.5, 1, 0) AS 'y1z0'
    REPORT val(u, 0.5, 0.3, 1) AS 'top'
    REPORT sqrt(integral((u - 6*x*(1-x))^2)) AS 'L2'
END
