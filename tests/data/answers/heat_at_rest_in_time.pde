{ A square held at u = 0 inside and on its sides stays at rest: u = 0 at every time.
  The steps measure no error at all and grow to the output spacing. }
TITLE 'Heat at rest'
VARIABLES
  u
INITIAL VALUES
  u = 0
EQUATIONS
  dt(u) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 90
PLOTS
  FOR T = 10 BY 10 TO 90
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'centre'
      REPORT t AS 'time'
END
