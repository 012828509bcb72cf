{ Duct flow as one scalar in a periodic extrusion (the answer does not depend on z): centre 0.0736714, Q 0.0351443 (series). }
TITLE 'scalar periodic duct'
COORDINATES
  CARTESIAN3
VARIABLES
  w
SELECT
  ERRLIM = 1e-4
EQUATIONS
  div(grad(w)) + 1 = 0
PERIODIC EXTRUSION
  z = 0, 1
BOUNDARIES
  REGION 1
    START(-0.5,-0.5) VALUE(w) = 0 LINE TO (0.5,-0.5) TO (0.5,0.5) TO (-0.5,0.5) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT INTEGRAL(w) AS 'Q'
    REPORT EVAL(w, 0, 0, 0.3) AS 'centre'
END
