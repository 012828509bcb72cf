{ A constraint in time: u_t = div(grad(u)) in the insulated unit square with INTEGRAL(u)
  = 1, from u = 1 + cos(pi x) cos(pi y), whose integral is 1 already. Known answer: u = 1 +
  cos(pi x) cos(pi y) exp(-2 pi^2 t), so u(0,0) = 1.3727078 at T = 0.05 and 1.1389111 at
  T = 0.1, and INTEGRAL(u) = 1 throughout. Tolerance: INTEGRAL(u) within 1e-4; u(0,0)
  within 2e-3 at the default ERRLIM (the time error of the unconstrained run is the
  same), within 1e-3 with ERRLIM = 1e-4. }
TITLE 'time with constraint'
SELECT
  REGRID=off
VARIABLES
  u
INITIAL VALUES
  u = 1 + cos(pi*x)*cos(pi*y)
EQUATIONS
  div(grad(u)) = dt(u)
CONSTRAINTS
  INTEGRAL(u) = 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR T = 0.05 0.1
    SUMMARY
      REPORT EVAL(u,0,0)
      REPORT INTEGRAL(u)
END
