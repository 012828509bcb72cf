{ The heat equation run backward, u_t = -u_xx on an insulated strip, in fixed steps of 0.01 to t = 2: the step
  amplifies the modes of the mesh with u_xx ~ -200 u by an unbounded factor, and the roundoff in them grows past
  any size. The run must end with an error, not with its numbers. }
TITLE 'Backward heat in fixed steps'
SELECT
  FIXDT
  REGRID = OFF
VARIABLES
  u
INITIAL VALUES
  u = cos(pi*x)
EQUATIONS
  dt(u) = -div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) TO (1,0.1) TO (0,0.1) TO FINISH
TIME 0 TO 2 BY 0.01
PLOTS
  FOR T = 2
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.05) AS 'mid'
END
