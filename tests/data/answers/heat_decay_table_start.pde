{ Heat decay from a start read from a TABLE: u_t = div(grad(u)) on the unit square, u = 0 on its
  sides, from the bilinear blend of sin(pi x) sin(pi y) tabled at 101 x 101 points (spacing h =
  0.01). The blend's share of the mode sin(pi x) sin(pi y) is sinc(pi h/2)^4 = 1 - 1.64e-4 (each
  axis's linear blend of sin(pi x) holds sinc^2(pi h/2) of it); its other modes are of order 200
  and have died out by t = 0.05. Exact: u(1/2, 1/2) = sinc(pi h/2)^4 exp(-2 pi^2 t) = 0.3726465
  at t = 0.05 and 0.1388883 at t = 0.1 (the smooth start's are 0.3727078 and 0.1389111). }
TITLE 'Heat decay from a tabled start'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  s0 = TABLE('heat_decay_table_start.tbl')
INITIAL VALUES
  u = s0
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR T = 0.05, 0.1
    SUMMARY EXPORT
      REPORT val(u, 0.5, 0.5) AS 'centre'
END
