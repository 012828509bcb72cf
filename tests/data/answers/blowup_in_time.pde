{ A finite-time blow-up: u_t = lap u + exp(u), u0 = x, insulated. An overflow in the step's
  matrices near t = 0.6026 is the divergence stop with the time reached. }
TITLE 'exp source blow-up in time'
VARIABLES
  u
INITIAL VALUES
  u = x
EQUATIONS
  div(grad(u)) + exp(u) = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 2
PLOTS
  FOR T = 2
    SUMMARY EXPORT FILE = 'c_sum.txt' REPORT integral(u) AS 'int'
END
