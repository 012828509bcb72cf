{ A scalar that blows up in finite time, dc/dt = c^2 with c(0) = 1 (c = 1/(1 - t), gone at
  t = 1), feeding a field. The step collapses as t nears 1: the run ends as a step below
  HALT ends it, not with steps that shrink and a mesh that grows without end. }
TITLE 'scalar feedback blow-up in time'
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES u = 0  c = 1
EQUATIONS
  u: dt(u) = div(grad(u)) + c
  c: dt(c) = c^2
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 2
PLOTS
  FOR t = 2 SUMMARY EXPORT REPORT c AS 'c'
END
