{ Prandtl stress function of an equilateral triangle (sides x = -1, x +- sqrt(3) y = 2):
  div(grad phi) + 2 = 0, phi = 0 on the sides. phi = (x + 1)((x - 2)^2 - 3 y^2)/6, largest 2/3 at 0. }
TITLE 'Torsion of a triangle'
SELECT
  ERRLIM = 1e-3
VARIABLES
  phi
DEFINITIONS
  ex = (x + 1)*((x - 2)^2 - 3*y^2)/6
EQUATIONS
  div(grad(phi)) + 2 = 0
BOUNDARIES
  REGION 1
    START(-1,-sqrt(3)) VALUE(phi) = 0 LINE TO (2,0) TO (-1,sqrt(3)) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((phi - ex)^2)/integral(1))/(2/3) AS 'err_phi'
END
