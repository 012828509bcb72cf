{ Two half-planes brought into contact: u = 2 for x < 0.25 and 0 beyond at t = 0, on the strip -1 < x < 1.5,
  0 < y < 0.2, insulated all round; u_t = div(grad(u)). Until the far ends matter,
  u = erfc((x - 0.25)/(2 sqrt(t))): u(0.3) = 0.5761501 at t = 0.004; the heat 0.5 is conserved.
  The start's passes end before the jump is resolved. }
TITLE 'Half-planes in contact'
SELECT
  ERRLIM = 1e-5
VARIABLES
  u
INITIAL VALUES
  u = IF x < 0.25 THEN 2 ELSE 0
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(-1,0) NATURAL(u) = 0 LINE TO (1.5,0) TO (1.5,0.2) TO (-1,0.2) TO FINISH
TIME 0 TO 0.004
PLOTS
  FOR T = 0.004
    SUMMARY EXPORT
      REPORT val(u, 0.3, 0.1) AS 'u03'
      REPORT integral(u) AS 'heat'
END
