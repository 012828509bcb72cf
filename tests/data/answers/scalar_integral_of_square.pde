{ A scalar unknown equal to INTEGRAL(u^2) beside lap u + 1 + 0.1 c = 0 on a fixed mesh: at
  the start u = 0, so c moves only on Newton's second step. u = (1 + 0.1 c) w with lap w + 1
  = 0 on the unit square, w = 0 on its sides: INTEGRAL(w^2) = 0.0017025 (double sine series),
  c = (1 + 0.1 c)^2 INTEGRAL(w^2) = 0.0017031, u(0.5,0.5) = (1 + 0.1 c) 0.0736713 = 0.0736838. }
TITLE 'scalar unknown from the integral of a square'
SELECT NGRID = 1  REGRID = OFF
VARIABLES
  u
SCALAR VARIABLES
  c
INITIAL VALUES
  c = 0
EQUATIONS
  u: div(grad(u)) + 1 + 0.1*c = 0
  c: c - INTEGRAL(u^2) = 0
BOUNDARIES
  REGION 1 MESH_SPACING = 0.1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT REPORT c AS 'c' REPORT val(u,0.5,0.5) AS 'u'
END
