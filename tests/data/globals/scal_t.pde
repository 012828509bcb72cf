{ A scalar ODE beside a field: dc/dt = -c with c(0) = 1, so c = exp(-t): c = 1 at T = 0,
  exp(-0.01) = 0.9900498 at T = 0.01, exp(-0.5) = 0.6065307 at T = 0.5 and exp(-1) =
  0.3678794 at T = 1. u stays uniform (insulated square, u(0) = 0): du/dt = -u + c gives
  u = t exp(-t), 0.3032653 at T = 0.5 and 0.3678794 at T = 1. Tolerance: c within 1e-3,
  u within 2e-3. }
TITLE 'scalar ODE'
SELECT
  REGRID=off
VARIABLES
  u
SCALAR VARIABLES
  c
INITIAL VALUES
  u = 0
  c = 1
EQUATIONS
  u: div(grad(u)) - u + c = dt(u)
  c: dt(c) + c = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 0 0.01 0.5 1
    SUMMARY
      REPORT c
      REPORT EVAL(u,0.5,0.5)
END
