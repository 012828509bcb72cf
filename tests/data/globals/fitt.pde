{ An integral in a time-dependent equation: u starts uniform at 1 in the insulated unit
  square, where div(grad(u)) vanishes, so du/dt = -INTEGRAL(u) = -u and u = exp(-t);
  u(1/2,1/2) = exp(-1) = 0.3678794 at T = 1. The integral enters each step at the levels
  the step is formed from: at the default ERRLIM the value is within 5e-3. }
TITLE 'time with integral in equation'
SELECT
  REGRID=off
VARIABLES
  u
DEFINITIONS
  tot = INTEGRAL(u)
INITIAL VALUES
  u = 1
EQUATIONS
  div(grad(u)) - tot = dt(u)
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
PLOTS
  FOR T = 1
    SUMMARY
      REPORT EVAL(u,0.5,0.5)
END
