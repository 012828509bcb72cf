TITLE 'Noise in an insulated square decays under regrids'
VARIABLES
  u
DEFINITIONS
  m = integral(u)
INITIAL VALUES
  u = 0.5 + 0.01*random(1)
EQUATIONS
  dt(u) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.01
PLOTS
  FOR T = 0.01
    SUMMARY EXPORT
      REPORT integral(u) AS 'total'
      REPORT integral((u-m)^2) AS 'var'
      REPORT globalmax(u) - globalmin(u) AS 'spread'
END
