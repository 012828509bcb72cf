{ Two half-planes brought into contact: u = 2 for x < 0.25 and 0 beyond at t = 0, on the strip -1 < x < 1.5,
  0 < y < 0.2, insulated all round; u_t = div(grad(u)). Exact until the far ends matter (below 1e-9 here):
  u = erfc((x - 0.25)/(2 sqrt(t))): u(0.3) = 0.5761501 and u(0.6) = 9.11e-5 at t = 0.004; 0.8025873 and
  0.0801183 at t = 0.02; the integral 0.5 is conserved. At ERRLIM 1e-4 both hold to 2e-4, and the layer
  the jump leaves stops refining as its cells shrink: the first steps' meshes stay under 5000 nodes (they
  went to 8400 when the third-derivative floor weighed small cells against the shrinking mean cell). }
TITLE 'Half-planes in contact'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
INITIAL VALUES
  u = IF x < 0.25 THEN 2 ELSE 0
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(-1,0) NATURAL(u) = 0 LINE TO (1.5,0) TO (1.5,0.2) TO (-1,0.2) TO FINISH
TIME 0 TO 0.02
PLOTS
  FOR T = 0.02
    SUMMARY EXPORT
      REPORT val(u, 0.3, 0.1) AS 'u03'
      REPORT val(u, 0.6, 0.1) AS 'u06'
END
