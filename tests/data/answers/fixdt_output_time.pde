{ Fixed steps of DELTAT = 0.05 to t = 0.2: u_t = div(grad(u)) - u, insulated, u = 1 at t = 0.
  Exact: u = exp(-t) everywhere. The run keeps its step of 0.05 to the end (a FIXDT that the step
  control overrode ended on a step of 0.036) and ends at t = 0.2 with u = exp(-0.2) = 0.8187308
  (the steps' error 3.4e-5). }
TITLE 'Fixed steps to the end'
SELECT
  FIXDT  DELTAT = 0.05
  REGRID = OFF
VARIABLES
  u
INITIAL VALUES
  u = 1
EQUATIONS
  div(grad(u)) - u = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.2
    SUMMARY EXPORT
      REPORT t AS 'time'
      REPORT deltat AS 'dt'
      REPORT val(u, 0.5, 0.5) AS 'u'
END
