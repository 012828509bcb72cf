{ Heating from rest on the unit square: dt(u) = div(grad(u)) + 1, u = 0 at t = 0, u = 0 at
  y = 0 and y = 1, the other sides insulated (1D in y). At t = 1 the series gives
  u(0.5,0.5) = 0.125 - (4/pi^3) exp(-pi^2) + ... = 0.1249933 (within 1e-5), on a mesh that
  regrids as the layers at the walls grow. }
TITLE 'Heating from rest, 2D'
SELECT
  ERRLIM = 3e-6
VARIABLES
  u
INITIAL VALUES
  u = 0
EQUATIONS
  dt(u) = div(grad(u)) + 1
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) NATURAL(u) = 0 LINE TO (1,1) VALUE(u) = 0 LINE TO (0,1) NATURAL(u) = 0 LINE TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'centre'
END
