{ The Fisher-KPP front of front_spurious_second_front at the default ERRLIM: its larger steps
  leave more of each step solve's remainder ahead of the front, where u = 0 is unstable and
  a uniform offset grows as exp(t), 1e13 by t = 30. u must stay about 0 there: u(99) and the
  least u within 1e-3 of 0 (the reference run's u(99) is below 1e-15). }
TITLE 'Fisher-KPP front, default error limit'
VARIABLES
  u
DEFINITIONS
  MESH_SPACING = 0.25
INITIAL VALUES
  u = 1/(1 + exp(2*(x - 10)))
EQUATIONS
  dt(u) = div(grad(u)) + u*(1 - u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (100,0) TO (100,0.5) TO (0,0.5) TO FINISH
TIME 0 TO 30
PLOTS
  FOR T = 30
    SUMMARY EXPORT
      REPORT val(u,99,0.25) AS 'u99'
      REPORT globalmin(u) AS 'umin'
END
