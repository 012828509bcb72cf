{ Heat in a long strip (u_t = u_xx, 0 < x < 1, insulated) whose start is read from a TABLE in one
  region (zero at 21 points, spacing 0.05) and jumps from 0 to 1 at x = 0.75 in another region, by
  its own expression. Exact while the ends are far (t = 1e-3: 4 widths of the layer away):
  u = erfc((0.75 - x)/(2 sqrt(t)))/2: 0.6726396 at x = 0.77, 0.8682238 at x = 0.8.
  The table's resolution was taken to the region beside it: the jump was read as box means 0.1
  wide and its cells were not refined below the table's spacing. }
TITLE 'a jump beside a tabled start'
SELECT ERRLIM = 1e-4
VARIABLES u
DEFINITIONS s0 = TABLE('heat_jump_beside_table.tbl', x)
INITIAL VALUES u = s0
EQUATIONS u: dt(u) = div(grad(u))
BOUNDARIES
  REGION 1 START(0,0) LINE TO (1,0) TO (1,0.1) TO (0,0.1) TO FINISH
  REGION 2 s0 = IF x > 0.75 THEN 1 ELSE 0
    START(0.5,0) LINE TO (1,0) TO (1,0.1) TO (0.5,0.1) TO FINISH
TIME 0 TO 1e-3
PLOTS FOR T = 1e-3
  SUMMARY EXPORT REPORT val(u, 0.77, 0.05) AS 'u077' REPORT val(u, 0.8, 0.05) AS 'u08'
END
